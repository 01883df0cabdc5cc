// Numbers and dates in table cells: one fixed format for reading and writing
// ('.' as decimal separator, dates as "yyyy-M-d H:mm:ss"), whatever the host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/types.h"

namespace vk {

// The integer rule for cells: optional leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after "$" or "0x". Hexadecimal text
// fills the whole width ("$FFFFFFFF" is -1 as a 32-bit value).
enum class TVKIntParse : uint8_t {
  ipOk,        // a number in range
  ipInvalid,   // empty, or not a number
  ipOverflow,  // a number, but too large for the type
};
TVKIntParse ParseInt32(std::u16string_view s, int32_t& out);
TVKIntParse ParseInt64(std::u16string_view s, int64_t& out);
TVKIntParse ParseUInt64(std::u16string_view s, uint64_t& out);  // no minus sign

// Invalid or out-of-range text yields the default.
int32_t StrToIntDef(std::u16string_view s, int32_t Default);
int64_t StrToInt64Def(std::u16string_view s, int64_t Default);

// Decimal text, with "." or "," as the separator (both read the same; a
// thousands separator makes the text invalid). Blanks around are allowed, and
// an exponent ("1.5E3").
double MyStrToFloatDef(std::u16string_view S, double Default);
// Shortest general form with up to 15 significant digits: 12.5, 0.1, 1E20.
std::u16string MyFloatToStr(double Value);

// Exact decimal scaling: Text × Multiple computed on the decimal digits and
// rounded half to even (12.345 × 100 = 1234, 1.015 × 100 = 102, 0.125 × 100
// = 12). Text that is not a decimal number gives 0 (true). False only when
// the result does not fit a signed 64-bit integer.
bool ScaleDecimal(std::u16string_view Text, int64_t Multiple, int64_t& Out);
// Decimal text of an integer ("-42").
std::u16string IntToText(int64_t Value);
// Value ÷ Multiple in the shortest decimal form, '.' as separator (1250 with
// 100 gives 12.5, 1200 gives 12). A Multiple below 1 counts as 1.
std::u16string FormatScaled(int64_t Value, int64_t Multiple);

// Dates: "yyyy-M-d" with an optional time "H:mm", "H:mm:ss" or "H:mm:ss.zzz";
// "/" is read as "-". Invalid text yields Default.
TDateTime MyStrToDateTimeDef(std::u16string_view S, TDateTime Default);
// "yyyy-M-d", plus " H:mm:ss" when the time of day is not midnight.
std::u16string MyDateTimeToStr(TDateTime DateTime);

// Calendar fields <-> day numbers (days since 1899-12-30, fraction = time).
bool TryEncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int MSec,
                       TDateTime& Out);
void DecodeDateTime(TDateTime DateTime, int& Year, int& Month, int& Day, int& Hour, int& Minute,
                    int& Second, int& MSec);

}  // namespace vk
