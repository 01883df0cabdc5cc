// The platform layer's parts that need no operating-system call: day
// numbers, date checks and the monotonic clock.
#include "runtime/platform.h"

#include <chrono>
#include <cmath>

namespace vk::platform {

namespace {

// Days from 0001-01-01 (proleptic Gregorian) of a civil date; used to reach
// the 1899-12-30 epoch without time_t limits.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;  // days since 1970-01-01
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kEpochShift = DaysFromCivil(1899, 12, 30);  // negative: days 1970 -> 1899

}  // namespace

TDateTime ToDateTime(const LocalTime& t) {
  int64_t days = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) - kEpochShift;
  double frac = (t.hour * 3600000.0 + t.minute * 60000.0 + t.second * 1000.0 + t.msec) / 86400000.0;
  return static_cast<double>(days) + frac;
}

LocalTime FromDateTime(TDateTime dt) {
  LocalTime t;
  double whole = std::floor(dt);
  int64_t ms = std::llround((dt - whole) * 86400000.0);
  int64_t days = static_cast<int64_t>(whole);
  if (ms >= 86400000) {
    ms -= 86400000;
    ++days;
  }
  CivilFromDays(days + kEpochShift, t.year, t.month, t.day);
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.msec = static_cast<int>(ms % 1000);
  return t;
}

TDateTime NowDateTime() { return ToDateTime(Now()); }

int32_t Today() { return static_cast<int32_t>(std::floor(NowDateTime())); }

bool IsValidDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int dim = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > dim) return false;
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 && msec >= 0 &&
         msec < 1000;
}

uint64_t MonotonicMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace vk::platform
