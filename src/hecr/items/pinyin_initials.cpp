#include "hecr/items/pinyin_initials.h"

#include <iterator>

#include "runtime/codepage.h"

namespace vk {

namespace {

// Level-1 characters (rows 16..55) are ordered by reading, so each initial
// letter owns one range of zone*100+position codes. I, U and V start no
// reading and have no range.
struct InitialRange {
  int first;
  int last;
  char letter;
};

constexpr InitialRange kLevel1Ranges[] = {
    {1601, 1636, 'A'}, {1637, 1832, 'B'}, {1833, 2077, 'C'}, {2078, 2273, 'D'},
    {2274, 2301, 'E'}, {2302, 2432, 'F'}, {2433, 2593, 'G'}, {2594, 2786, 'H'},
    {2787, 3105, 'J'}, {3106, 3211, 'K'}, {3212, 3471, 'L'}, {3472, 3634, 'M'},
    {3635, 3722, 'N'}, {3723, 3729, 'O'}, {3730, 3857, 'P'}, {3858, 4026, 'Q'},
    {4027, 4085, 'R'}, {4086, 4389, 'S'}, {4390, 4557, 'T'}, {4558, 4683, 'W'},
    {4684, 4924, 'X'}, {4925, 5248, 'Y'}, {5249, 5589, 'Z'},
};

// Level-2 characters (rows 56..87) are ordered by radical, so they need one
// letter each.
constexpr char kLevel2Initials[] =
#include "hecr/items/pinyin_level2_table.inc"
    ;

constexpr int kLevel2FirstCode = 5590;  // first code past the level-1 ranges
constexpr int kLevel2FirstZone = 56;
constexpr int kZoneSize = 94;
constexpr int kLevel2Count = 3008;
constexpr char kNoInitial = '[';

static_assert(sizeof(kLevel2Initials) == kLevel2Count + 1, "one letter per level-2 character");

constexpr bool RangesAscendAndTouch() {
  for (size_t i = 1; i < std::size(kLevel1Ranges); ++i)
    if (kLevel1Ranges[i].first != kLevel1Ranges[i - 1].last + 1) return false;
  return true;
}
constexpr bool Level2HoldsOnlyLetters() {
  for (int i = 0; i < kLevel2Count; ++i) {
    const char c = kLevel2Initials[i];
    if (c != kNoInitial && (c < 'A' || c > 'Z')) return false;
  }
  return true;
}
static_assert(Level2HoldsOnlyLetters(), "level-2 entries are A..Z or the no-initial mark");
static_assert(RangesAscendAndTouch(), "level-1 ranges follow each other without gaps");
static_assert(kLevel1Ranges[std::size(kLevel1Ranges) - 1].last + 1 == kLevel2FirstCode);

// The initial of the character at (zone, position), or 0 when it adds none.
char InitialOf(int zone, int position) {
  const int code = zone * 100 + position;
  if (code < kLevel2FirstCode) {
    if (zone == 3) return 0;  // full-width ASCII forms
    for (const InitialRange& r : kLevel1Ranges)
      if (code >= r.first && code <= r.last) return r.letter;
    return 0;
  }
  const int n = (zone - kLevel2FirstZone) * kZoneSize + position;
  if (n < 1 || n > kLevel2Count) return 0;
  const char c = kLevel2Initials[n - 1];
  return c == kNoInitial ? 0 : c;
}

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

}  // namespace

std::u16string PinyinInitialsFromBytes(const uint8_t* p, size_t n) {
  std::u16string out;
  size_t i = 0;
  while (i < n) {
    const uint8_t lead = p[i];
    if (lead < 0x80) {
      out.push_back(Upper(lead));
      ++i;
      continue;
    }
    if (i + 1 >= n) break;  // a lead byte cut off at the end
    const uint8_t trail = p[i + 1];
    i += 2;
    // Only a trail byte in A1..FE names a GB2312 position. Other trail bytes
    // (GBK extension characters) would otherwise wrap into the position of
    // some unrelated character and add its letter.
    if (trail < 0xA1 || trail > 0xFE) continue;
    const int zone = static_cast<uint8_t>(lead - 0xA0);
    const int position = trail - 0xA0;
    if (const char c = InitialOf(zone, position)) out.push_back(Upper(static_cast<char16_t>(c)));
  }
  return out;
}

std::u16string PinyinInitials(std::u16string_view text) {
  const TVKBytes bytes = StringToCodePageBytes(text, 936);
  return PinyinInitialsFromBytes(bytes.data(), bytes.size());
}

}  // namespace vk
