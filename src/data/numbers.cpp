#include "data/numbers.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <cstdio>
#include <limits>
#include <vector>

#include "runtime/platform.h"

namespace vk {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads sign and magnitude. Hexadecimal magnitudes are limited by `hexBits`
// and reported through `hex` so the caller can wrap them into its width.
TVKIntParse ParseMagnitude(std::u16string_view s, bool& neg, uint64_t& mag, bool& hex, int hexBits) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  neg = false;
  hex = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) neg = s[i++] == u'-';
  if (i < s.size() && s[i] == u'$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return TVKIntParse::ipInvalid;
  mag = 0;
  bool overflow = false;
  for (; i < s.size(); ++i) {
    int d = hex ? HexValue(s[i]) : (s[i] >= u'0' && s[i] <= u'9' ? s[i] - u'0' : -1);
    if (d < 0) return TVKIntParse::ipInvalid;
    if (overflow) continue;
    if (hex) {
      if (hexBits < 64 ? (mag >> (hexBits - 4)) != 0 : (mag >> 60) != 0) overflow = true;
      else mag = (mag << 4) | static_cast<uint64_t>(d);
    } else {
      if (mag > (std::numeric_limits<uint64_t>::max() - d) / 10) overflow = true;
      else mag = mag * 10 + static_cast<uint64_t>(d);
    }
  }
  return overflow ? TVKIntParse::ipOverflow : TVKIntParse::ipOk;
}

}  // namespace

TVKIntParse ParseInt64(std::u16string_view s, int64_t& out) {
  bool neg, hex;
  uint64_t mag;
  TVKIntParse r = ParseMagnitude(s, neg, mag, hex, 64);
  if (r != TVKIntParse::ipOk) return r;
  if (hex) {
    int64_t v = static_cast<int64_t>(mag);
    out = neg ? static_cast<int64_t>(0 - static_cast<uint64_t>(v)) : v;
    return TVKIntParse::ipOk;
  }
  if (neg) {
    if (mag > uint64_t(1) << 63) return TVKIntParse::ipOverflow;
    out = static_cast<int64_t>(0 - mag);
  } else {
    if (mag > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return TVKIntParse::ipOverflow;
    out = static_cast<int64_t>(mag);
  }
  return TVKIntParse::ipOk;
}

TVKIntParse ParseInt32(std::u16string_view s, int32_t& out) {
  bool neg, hex;
  uint64_t mag;
  TVKIntParse r = ParseMagnitude(s, neg, mag, hex, 32);
  if (r != TVKIntParse::ipOk) return r;
  if (hex) {
    uint32_t v = static_cast<uint32_t>(mag);
    out = static_cast<int32_t>(neg ? 0u - v : v);
    return TVKIntParse::ipOk;
  }
  if (neg ? mag > 2147483648ull : mag > 2147483647ull) return TVKIntParse::ipOverflow;
  out = static_cast<int32_t>(neg ? -static_cast<int64_t>(mag) : static_cast<int64_t>(mag));
  return TVKIntParse::ipOk;
}

TVKIntParse ParseUInt64(std::u16string_view s, uint64_t& out) {
  bool neg, hex;
  uint64_t mag;
  TVKIntParse r = ParseMagnitude(s, neg, mag, hex, 64);
  if (r != TVKIntParse::ipOk) return r;
  if (neg && mag != 0) return TVKIntParse::ipInvalid;
  out = mag;
  return TVKIntParse::ipOk;
}

int32_t StrToIntDef(std::u16string_view s, int32_t Default) {
  int32_t v;
  return ParseInt32(s, v) == TVKIntParse::ipOk ? v : Default;
}

int64_t StrToInt64Def(std::u16string_view s, int64_t Default) {
  int64_t v;
  return ParseInt64(s, v) == TVKIntParse::ipOk ? v : Default;
}

// ------------------------------------------------------------ decimals ----

namespace {

// A decimal number as its significant digits and a power of ten:
// value = (neg ? -1 : 1) × digits × 10^exp. Digits carry no leading zeros
// (empty for zero).
struct DecimalText {
  bool neg = false;
  std::string digits;
  int64_t exp = 0;
};

bool ParseDecimal(std::u16string_view s, DecimalText& d) {
  size_t i = 0, n = s.size();
  while (i < n && IsBlank(s[i])) ++i;
  while (n > i && IsBlank(s[n - 1])) --n;
  if (i < n && (s[i] == u'+' || s[i] == u'-')) d.neg = s[i++] == u'-';
  bool any = false, sep = false;
  int64_t frac = 0;
  for (; i < n; ++i) {
    char16_t c = s[i];
    if (c >= u'0' && c <= u'9') {
      any = true;
      if (sep) ++frac;
      if (!d.digits.empty() || c != u'0') d.digits.push_back(static_cast<char>(c));
      else if (sep) continue;  // leading zeros after the separator only move the point
    } else if ((c == u'.' || c == u',') && !sep) {
      sep = true;
    } else {
      break;
    }
  }
  if (!any) return false;
  int64_t e = 0;
  if (i < n && (s[i] == u'e' || s[i] == u'E')) {
    ++i;
    bool eneg = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) eneg = s[i++] == u'-';
    if (i >= n) return false;
    for (; i < n; ++i) {
      if (s[i] < u'0' || s[i] > u'9') return false;
      if (e < 100000) e = e * 10 + (s[i] - u'0');
    }
    if (eneg) e = -e;
  }
  if (i != n) return false;
  d.exp = e - frac;
  return true;
}

}  // namespace

double MyStrToFloatDef(std::u16string_view S, double Default) {
  DecimalText d;
  if (!ParseDecimal(S, d)) return Default;
  if (d.digits.empty()) return d.neg ? -0.0 : 0.0;
  std::string text = d.digits + "e" + std::to_string(d.exp);
  double v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc() || !std::isfinite(v)) return Default;
  return d.neg ? -v : v;
}

std::u16string MyFloatToStr(double Value) {
  if (std::isnan(Value)) return u"NAN";
  if (std::isinf(Value)) return Value > 0 ? u"INF" : u"-INF";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", Value);
  std::string s = buf;
  // "1.5E+20" -> "1.5E20", "1E-05" -> "1E-5".
  size_t e = s.find('E');
  if (e != std::string::npos) {
    std::string mant = s.substr(0, e), ex = s.substr(e + 1);
    bool eneg = !ex.empty() && ex[0] == '-';
    if (!ex.empty() && (ex[0] == '+' || ex[0] == '-')) ex.erase(0, 1);
    while (ex.size() > 1 && ex[0] == '0') ex.erase(0, 1);
    s = mant + "E" + (eneg ? "-" : "") + ex;
  }
  if (s == "-0") s = "0";
  return Widen(s);
}

bool ScaleDecimal(std::u16string_view Text, int64_t Multiple, int64_t& Out) {
  Out = 0;
  DecimalText d;
  if (!ParseDecimal(Text, d) || d.digits.empty()) return true;
  if (Multiple < 1) Multiple = 1;
  // A power of ten only moves the decimal point; any other multiple is
  // multiplied into the digits.
  uint64_t m = static_cast<uint64_t>(Multiple);
  while (m % 10 == 0) {
    m /= 10;
    ++d.exp;
  }
  if (m != 1) {
    // Schoolbook multiplication on decimal digits (no 128-bit integers on
    // 32-bit targets).
    std::string md = std::to_string(m);
    std::vector<int> prod(d.digits.size() + md.size(), 0);
    for (size_t a = d.digits.size(); a-- > 0;)
      for (size_t b = md.size(); b-- > 0;) prod[a + b + 1] += (d.digits[a] - '0') * (md[b] - '0');
    for (size_t k = prod.size(); k-- > 1;) {
      prod[k - 1] += prod[k] / 10;
      prod[k] %= 10;
    }
    size_t lead = 0;
    while (lead + 1 < prod.size() && prod[lead] == 0) ++lead;
    d.digits.clear();
    for (size_t k = lead; k < prod.size(); ++k) d.digits.push_back(static_cast<char>('0' + prod[k]));
  }
  // Split into the integral digits and the first dropped digit plus a flag
  // for anything non-zero after it.
  const int64_t len = static_cast<int64_t>(d.digits.size());
  int64_t intLen = len + d.exp;  // number of integral digits
  if (intLen > 19) return false;
  uint64_t whole = 0;
  for (int64_t k = 0; k < intLen; ++k) whole = whole * 10 + (k < len ? static_cast<uint64_t>(d.digits[k] - '0') : 0);
  int first = 0;
  bool rest = false;
  if (intLen < len) {
    int64_t firstPos = intLen;  // may be negative: leading zeros after the point
    if (firstPos >= 0) {
      first = d.digits[firstPos] - '0';
      for (int64_t k = firstPos + 1; k < len && !rest; ++k) rest = d.digits[k] != '0';
    } else {
      first = 0;
      rest = true;  // some non-zero digit follows further down
    }
  }
  bool up = first > 5 || (first == 5 && (rest || (whole & 1) != 0));
  if (up) ++whole;
  const uint64_t limit = d.neg ? (uint64_t(1) << 63) : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (whole > limit) return false;
  Out = d.neg ? static_cast<int64_t>(0 - whole) : static_cast<int64_t>(whole);
  return true;
}

namespace {

// Writes the decimal digits of v ending just before end; returns where they
// start. Cells are written per field of every record, so no string is made
// on the way.
char16_t* WriteDigits(uint64_t v, char16_t* end) {
  do {
    *--end = static_cast<char16_t>(u'0' + v % 10);
    v /= 10;
  } while (v != 0);
  return end;
}

}  // namespace

std::u16string IntToText(int64_t Value) {
  char16_t buf[24];
  char16_t* end = buf + std::size(buf);
  const uint64_t mag = Value < 0 ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value);
  char16_t* p = WriteDigits(mag, end);
  if (Value < 0) *--p = u'-';
  return std::u16string(p, end);
}

std::u16string FormatScaled(int64_t Value, int64_t Multiple) {
  if (Multiple < 1) Multiple = 1;
  int places = 0;
  int64_t m = Multiple;
  while (m % 10 == 0) {
    m /= 10;
    ++places;
  }
  if (m != 1) return MyFloatToStr(static_cast<double>(Value) / static_cast<double>(Multiple));
  const bool neg = Value < 0;
  const uint64_t mag = neg ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value);
  // Digits right-aligned, with zeros in front so that there is at least one
  // digit before the point; then the fraction's trailing zeros dropped.
  char16_t buf[48];
  char16_t* const end = buf + std::size(buf);
  char16_t* p = WriteDigits(mag, end);
  while (end - p <= places) *--p = u'0';
  char16_t* point = end - places;
  char16_t* last = end;
  while (last > point && last[-1] == u'0') --last;
  std::u16string s;
  s.reserve(static_cast<size_t>(last - p) + 2);
  if (neg && mag != 0) s.push_back(u'-');
  s.append(p, point);
  if (last > point) {
    s.push_back(u'.');
    s.append(point, last);
  }
  return s;
}

// --------------------------------------------------------------- dates ----

bool TryEncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int MSec,
                       TDateTime& Out) {
  if (!platform::IsValidDateTime(Year, Month, Day, Hour, Minute, Second, MSec)) return false;
  platform::LocalTime t;
  t.year = Year, t.month = Month, t.day = Day, t.hour = Hour, t.minute = Minute, t.second = Second,
  t.msec = MSec;
  Out = platform::ToDateTime(t);
  return true;
}

void DecodeDateTime(TDateTime DateTime, int& Year, int& Month, int& Day, int& Hour, int& Minute,
                    int& Second, int& MSec) {
  platform::LocalTime t = platform::FromDateTime(DateTime);
  Year = t.year, Month = t.month, Day = t.day, Hour = t.hour, Minute = t.minute, Second = t.second,
  MSec = t.msec;
}

namespace {

// Reads 1..maxDigits decimal digits at s[i].
bool ReadNumber(std::u16string_view s, size_t& i, int maxDigits, int& out) {
  size_t start = i;
  out = 0;
  while (i < s.size() && s[i] >= u'0' && s[i] <= u'9' && static_cast<int>(i - start) < maxDigits)
    out = out * 10 + (s[i++] - u'0');
  return i > start;
}

}  // namespace

TDateTime MyStrToDateTimeDef(std::u16string_view S, TDateTime Default) {
  size_t i = 0, n = S.size();
  while (i < n && IsBlank(S[i])) ++i;
  while (n > i && IsBlank(S[n - 1])) --n;
  std::u16string_view s = S.substr(0, n);
  auto isDash = [&](size_t k) { return k < s.size() && (s[k] == u'-' || s[k] == u'/'); };
  int y, mo, d, h = 0, mi = 0, sec = 0, ms = 0;
  size_t ys = i;
  if (!ReadNumber(s, i, 4, y)) return Default;
  bool shortYear = i - ys <= 2;
  if (!isDash(i++) || !ReadNumber(s, i, 2, mo) || !isDash(i++) || !ReadNumber(s, i, 2, d)) return Default;
  if (shortYear) y += y < 50 ? 2000 : 1900;
  if (i < s.size()) {
    if (!IsBlank(s[i])) return Default;
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (!ReadNumber(s, i, 2, h) || i >= s.size() || s[i++] != u':' || !ReadNumber(s, i, 2, mi)) return Default;
    if (i < s.size() && s[i] == u':') {
      ++i;
      if (!ReadNumber(s, i, 2, sec)) return Default;
      if (i < s.size() && s[i] == u'.') {
        ++i;
        size_t ms0 = i;
        if (!ReadNumber(s, i, 3, ms)) return Default;
        for (size_t k = i - ms0; k < 3; ++k) ms *= 10;
      }
    }
    if (i != s.size()) return Default;
  }
  TDateTime out;
  return TryEncodeDateTime(y, mo, d, h, mi, sec, ms, out) ? out : Default;
}

std::u16string MyDateTimeToStr(TDateTime DateTime) {
  int y, mo, d, h, mi, s, ms;
  DecodeDateTime(DateTime, y, mo, d, h, mi, s, ms);
  char buf[64];
  if (h == 0 && mi == 0 && s == 0 && ms == 0)
    std::snprintf(buf, sizeof buf, "%d-%d-%d", y, mo, d);
  else
    std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%02d:%02d", y, mo, d, h, mi, s);
  return Widen(buf);
}

}  // namespace vk
