#include "data/sysdata.h"

#include <cstring>

#include "data/numbers.h"
#include "data/text_file.h"
#include "runtime/codepage.h"

namespace vk {

namespace {

std::u16string TrimControl(std::u16string s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= u' ') ++b;
  while (e > b && s[e - 1] <= u' ') --e;
  if (b == 0 && e == s.size()) return s;
  return s.substr(b, e - b);
}

bool Usable(const uint8_t* p, int32_t n) { return p != nullptr && n > 0; }

// A cell for the BIN family: the 32-bit integer rule first (so "$FFFFFFFF"
// is -1), then 64 bits for values beyond it. Not a number: 0.
enum class CellValue { Number, NotNumber, TooLarge };
CellValue ReadCell(std::u16string_view s, int64_t& v, bool wide) {
  v = 0;
  if (!wide) {
    int32_t v32;
    switch (ParseInt32(s, v32)) {
      case TVKIntParse::ipOk: v = v32; return CellValue::Number;
      case TVKIntParse::ipInvalid: return CellValue::NotNumber;
      case TVKIntParse::ipOverflow: break;
    }
  }
  switch (ParseInt64(s, v)) {
    case TVKIntParse::ipOk: return CellValue::Number;
    case TVKIntParse::ipInvalid: v = 0; return CellValue::NotNumber;
    case TVKIntParse::ipOverflow: v = 0; return CellValue::TooLarge;
  }
  return CellValue::NotNumber;
}

}  // namespace

// ----------------------------------------------------------- building blocks

bool TVKSysData::WriteBCDValue(uint64_t Value, uint8_t* lpData, int32_t nSize) {
  if (!Usable(lpData, nSize)) return Value == 0;
  uint8_t* p = lpData + nSize;
  for (int32_t i = 0; i < nSize; ++i) {
    uint8_t lo = static_cast<uint8_t>(Value % 10);
    Value /= 10;
    uint8_t hi = static_cast<uint8_t>(Value % 10);
    Value /= 10;
    *--p = static_cast<uint8_t>((hi << 4) | lo);
  }
  return Value == 0;
}

bool TVKSysData::ReadBCDValue(const uint8_t* lpData, int32_t nSize, int64_t& Value) {
  Value = 0;
  if (!Usable(lpData, nSize)) return false;
  uint64_t v = 0;
  for (int32_t i = 0; i < nSize; ++i) {
    for (int d : {lpData[i] >> 4, lpData[i] & 0xF}) {
      if (d > 9) return false;
      if (v > (static_cast<uint64_t>(INT64_MAX) - d) / 10) return false;
      v = v * 10 + d;
    }
  }
  Value = static_cast<int64_t>(v);
  return true;
}

bool TVKSysData::WriteBINValue(int64_t Value, uint8_t* lpData, int32_t nSize, bool LittleEndian, bool Unsigned4) {
  if (!Usable(lpData, nSize)) return true;
  switch (nSize) {
    case 1:
      if (Value < -128 || Value > 255) return false;
      break;
    case 2:
      if (Value < -32768 || Value > 65535) return false;
      break;
    case 4:
      if (Value < INT32_MIN || Value > (Unsigned4 ? int64_t(UINT32_MAX) : int64_t(INT32_MAX))) return false;
      break;
    case 8:
      break;
    default:
      return true;  // a size BIN cannot hold: the field is left as it is
  }
  uint64_t u = static_cast<uint64_t>(Value);
  for (int32_t i = 0; i < nSize; ++i) {
    uint8_t b = static_cast<uint8_t>(u >> (8 * i));
    if (LittleEndian) lpData[i] = b;
    else lpData[nSize - 1 - i] = b;
  }
  return true;
}

bool TVKSysData::ReadBINValue(const uint8_t* lpData, int32_t nSize, int64_t& Value, bool LittleEndian,
                              bool Unsigned4) {
  Value = 0;
  if (!Usable(lpData, nSize) || (nSize != 1 && nSize != 2 && nSize != 4 && nSize != 8)) return false;
  uint64_t u = 0;
  for (int32_t i = 0; i < nSize; ++i) {
    uint8_t b = LittleEndian ? lpData[nSize - 1 - i] : lpData[i];
    u = (u << 8) | b;
  }
  if (nSize == 4) Value = Unsigned4 ? static_cast<int64_t>(u) : static_cast<int32_t>(static_cast<uint32_t>(u));
  else Value = static_cast<int64_t>(u);
  return true;
}

std::u16string TVKSysData::EscapeControlChars(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    if (c == u'\r') out += u"{$0D}";
    else if (c == u'\n') out += u"{$0A}";
    else if (c == u'\t') out += u"{$09}";
    else out.push_back(c);
  }
  return out;
}

std::u16string TVKSysData::UnescapeControlChars(std::u16string_view s) {
  if (s.find_first_of(u"{\\<") == std::u16string_view::npos) return std::u16string(s);
  // The file escapes, then the two only field text knows.
  std::u16string out = DecodeStr(s);
  ReplaceAll(out, u"\\t", u"\t");
  ReplaceAll(out, u"<br>", u"\r\n");
  return out;
}

// ---------------------------------------------------------------- codecs ----

std::u16string TVKSysData::GetASC(const TVKCodecContext& Ctx, const uint8_t* lpData, int32_t nSize) {
  if (!Usable(lpData, nSize)) return {};
  return TrimControl(CodePageBytesToString(lpData, static_cast<size_t>(nSize), Ctx.CodePage));
}

bool TVKSysData::SetASC(const TVKCodecContext& Ctx, std::u16string_view sValue, uint8_t* lpData, int32_t nSize) {
  if (!Usable(lpData, nSize)) return true;
  thread_local TVKBytes buf;
  buf.clear();
  AppendCodePageBytes(sValue, Ctx.CodePage, buf);
  if (buf.size() > static_cast<size_t>(nSize)) buf = StringToCodePageBytesCut(sValue, Ctx.CodePage, nSize);
  if (!buf.empty()) std::memcpy(lpData, buf.data(), buf.size());
  std::memset(lpData + buf.size(), 0, static_cast<size_t>(nSize) - buf.size());
  return true;
}

std::u16string TVKSysData::GetText(const TVKCodecContext& Ctx, const uint8_t* lpData, int32_t nSize) {
  return EscapeControlChars(GetASC(Ctx, lpData, nSize));
}

bool TVKSysData::SetText(const TVKCodecContext& Ctx, std::u16string_view sValue, uint8_t* lpData, int32_t nSize) {
  if (sValue.find_first_of(u"{\\<") == std::u16string_view::npos) return SetASC(Ctx, sValue, lpData, nSize);
  return SetASC(Ctx, UnescapeControlChars(sValue), lpData, nSize);
}

// The digits are read as a decimal number; a nibble above 9 (or more digits
// than a signed 64-bit value holds) reads as 0.
std::u16string TVKSysData::GetBCD(const TVKCodecContext&, const uint8_t* lpData, int32_t nSize) {
  int64_t v;
  if (!ReadBCDValue(lpData, nSize, v)) return u"0";
  return IntToText(v);
}

bool TVKSysData::SetBCD(const TVKCodecContext&, std::u16string_view sValue, uint8_t* lpData, int32_t nSize) {
  uint64_t v = 0;
  switch (ParseUInt64(sValue, v)) {
    case TVKIntParse::ipOk: break;
    case TVKIntParse::ipInvalid: v = 0; break;
    case TVKIntParse::ipOverflow: return false;
  }
  uint8_t tmp[64];
  if (nSize > 0 && nSize <= 64) {
    // Write to a scratch copy first so a refused value leaves the field as it was.
    if (!WriteBCDValue(v, tmp, nSize)) return false;
    std::memcpy(lpData, tmp, static_cast<size_t>(nSize));
    return true;
  }
  return WriteBCDValue(v, lpData, nSize);
}

std::u16string TVKSysData::GetBIN(const TVKCodecContext&, const uint8_t* lpData, int32_t nSize) {
  int64_t v;
  if (!ReadBINValue(lpData, nSize, v, false, false)) return {};
  return IntToText(v);
}

bool TVKSysData::SetBIN(const TVKCodecContext&, std::u16string_view sValue, uint8_t* lpData, int32_t nSize) {
  int64_t v;
  if (ReadCell(sValue, v, nSize == 8) == CellValue::TooLarge) return false;
  return WriteBINValue(v, lpData, nSize, false, false);
}

std::u16string TVKSysData::GetUBIN(const TVKCodecContext&, const uint8_t* lpData, int32_t nSize) {
  int64_t v;
  if (!ReadBINValue(lpData, nSize, v, false, true)) return {};
  return IntToText(v);
}

bool TVKSysData::SetUBIN(const TVKCodecContext&, std::u16string_view sValue, uint8_t* lpData, int32_t nSize) {
  int64_t v;
  if (ReadCell(sValue, v, nSize == 4 || nSize == 8) == CellValue::TooLarge) return false;
  return WriteBINValue(v, lpData, nSize, false, true);
}

std::u16string TVKSysData::GetBINLE(const TVKCodecContext&, const uint8_t* lpData, int32_t nSize) {
  int64_t v;
  if (!ReadBINValue(lpData, nSize, v, true, false)) return {};
  return IntToText(v);
}

bool TVKSysData::SetBINLE(const TVKCodecContext&, std::u16string_view sValue, uint8_t* lpData, int32_t nSize) {
  int64_t v;
  if (ReadCell(sValue, v, nSize == 8) == CellValue::TooLarge) return false;
  return WriteBINValue(v, lpData, nSize, true, false);
}

}  // namespace vk
