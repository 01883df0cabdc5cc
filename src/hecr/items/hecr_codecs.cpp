#include "hecr/items/hecr_codecs.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "data/numbers.h"
#include "data/sysdata.h"
#include "runtime/types.h"

namespace vk {

namespace {

std::u16string_view Trimmed(std::u16string_view s) {
  while (!s.empty() && s.front() <= u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() <= u' ') s.remove_suffix(1);
  return s;
}

}  // namespace

bool ImportScaledBCD(std::u16string_view s, int64_t multiple, uint8_t* p, int32_t n) {
  int64_t v = 0;
  if (!ScaleDecimal(s, multiple, v) || v < 0) return false;
  return TVKSysData::WriteBCDValue(static_cast<uint64_t>(v), p, n);
}
std::u16string ExportScaledBCD(const uint8_t* p, int32_t n, int64_t multiple) {
  int64_t v = 0;
  if (!TVKSysData::ReadBCDValue(p, n, v)) v = 0;
  return FormatScaled(v, multiple);
}

bool ImportPrice(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  return ImportScaledBCD(s, c.PriceMultiple, p, n);
}
std::u16string ExportPrice(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  return ExportScaledBCD(p, n, c.PriceMultiple);
}
bool ImportDeviceWeight(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  return ImportScaledBCD(s, c.WeightMultiple, p, n);
}
std::u16string ExportDeviceWeight(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  return ExportScaledBCD(p, n, c.WeightMultiple);
}

bool ImportDate(const TVKCodecContext&, std::u16string_view s, uint8_t* p, int32_t n) {
  s = Trimmed(s);
  if (s.empty()) {
    std::memset(p, 0, static_cast<size_t>(n));
    return true;
  }
  const TDateTime invalid = std::numeric_limits<double>::quiet_NaN();
  TDateTime dt = MyStrToDateTimeDef(s, invalid);
  if (std::isnan(dt)) return false;
  int y, mo, d, h, mi, sec, ms;
  DecodeDateTime(dt, y, mo, d, h, mi, sec, ms);
  if (y < 0 || y > 9999) return false;
  uint64_t v = static_cast<uint64_t>(y) * 100000000ull + static_cast<uint64_t>(mo) * 1000000ull +
               static_cast<uint64_t>(d) * 10000ull + static_cast<uint64_t>(h) * 100ull + static_cast<uint64_t>(mi);
  return TVKSysData::WriteBCDValue(v, p, n);
}

std::u16string ExportDate(const TVKCodecContext&, const uint8_t* p, int32_t n) {
  bool zero = true;
  for (int32_t i = 0; i < n; ++i) zero = zero && p[i] == 0;
  if (zero) return {};
  int64_t y = 0, mo = 0, d = 0, h = 0, mi = 0;
  TDateTime dt = 0;
  bool ok = n >= 6 && TVKSysData::ReadBCDValue(p, 2, y) && TVKSysData::ReadBCDValue(p + 2, 1, mo) &&
            TVKSysData::ReadBCDValue(p + 3, 1, d) && TVKSysData::ReadBCDValue(p + 4, 1, h) &&
            TVKSysData::ReadBCDValue(p + 5, 1, mi) &&
            TryEncodeDateTime(static_cast<int>(y), static_cast<int>(mo), static_cast<int>(d), static_cast<int>(h),
                              static_cast<int>(mi), 0, 0, dt);
  if (!ok) {
    // Bytes that are no date read as the first day of the calendar.
    y = 1899, mo = 12, d = 30, h = 0, mi = 0;
  }
  char buf[48];
  std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%02d:00", static_cast<int>(y), static_cast<int>(mo),
                static_cast<int>(d), static_cast<int>(h), static_cast<int>(mi));
  return Widen(buf);
}

}  // namespace vk
