#include "hecr/items/notes_item.h"

#include <algorithm>
#include <cstring>

#include "runtime/codepage.h"
#include "data/sysdata.h"
#include "data/text_file.h"
#include "hecr/hecr_protocol.h"

namespace vk {

namespace {

using Item = TVKSDKHecrNotesItem;

constexpr char16_t kEsc = u'\x1B';
constexpr std::u16string_view kEscNames[] = {u"<ESC0>", u"<ESC1>", u"<ESC2>", u"<ESC3>"};

// The note text: two bytes of length (big-endian, the bytes stored) and the
// text in the device's code page. The text is encoded once and cut at the
// last whole character that fits, never between an escape and its digit,
// so the length always counts exactly the bytes that follow it.
bool ImportNote(const TVKCodecContext& c, std::u16string_view s, uint8_t* p, int32_t n) {
  if (n < 2) return true;
  std::u16string text = TVKSysData::UnescapeControlChars(s);
  for (size_t k = 0; k < std::size(kEscNames); ++k)
    ReplaceAll(text, kEscNames[k], std::u16string{kEsc, static_cast<char16_t>(u'0' + k)});
  const size_t room = static_cast<size_t>(std::min(n - 2, Item::kMaxText));
  TVKBytes bytes = StringToCodePageBytes(text, c.CodePage);
  if (bytes.size() > room) {
    bytes = StringToCodePageBytesCut(text, c.CodePage, room);
    if (!bytes.empty() && bytes.back() == 0x1B) bytes.pop_back();
  }
  p[0] = static_cast<uint8_t>(bytes.size() >> 8);
  p[1] = static_cast<uint8_t>(bytes.size());
  if (!bytes.empty()) std::memcpy(p + 2, bytes.data(), bytes.size());
  std::memset(p + 2 + bytes.size(), 0, static_cast<size_t>(n - 2) - bytes.size());
  return true;
}

// The bytes the length counts (never past the record), as they were stored:
// no blanks or control characters are trimmed, so a note that starts or ends
// with an escape reads back whole. Trailing zero characters are dropped.
std::u16string ExportNote(const TVKCodecContext& c, const uint8_t* p, int32_t n) {
  if (n < 2) return {};
  const size_t len = std::min<size_t>({static_cast<size_t>(p[0] << 8 | p[1]), static_cast<size_t>(n - 2),
                                       static_cast<size_t>(Item::kMaxText)});
  std::u16string text = CodePageBytesToString(p + 2, len, c.CodePage);
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  text = TVKSysData::EscapeControlChars(text);
  for (size_t k = 0; k < std::size(kEscNames); ++k)
    ReplaceAll(text, std::u16string{kEsc, static_cast<char16_t>(u'0' + k)}, kEscNames[k]);
  return text;
}

constexpr TVKSDKRAMFieldInfo kNoteFields[] = {
    FieldInfo(u"PLUID", 0, &TVKSysData::SetBCD, &TVKSysData::GetBCD, 3),
    FieldInfo(u"Value", 4, &ImportNote, &ExportNote, 2 + Item::kMaxText),
};
constexpr TVKSDKRAMFieldInfo kNoteFields8[] = {
    FieldInfo(u"PLUID", 0, &TVKSysData::SetBCD, &TVKSysData::GetBCD, 4),
    FieldInfo(u"Value", 4, &ImportNote, &ExportNote, 2 + Item::kMaxText),
};

// The four tables share the layout; the row of each data type gives its
// commands and the counter of its record count.
constexpr TVKSDKRAMDefineInfo kNotesDefs[2] = {
    TableDefine(kNoteFields, Item::kFileRecord, Item::kFileRecord, u"PLUID"),
    TableDefine(kNoteFields8, Item::kFileRecord, Item::kFileRecord, u"PLUID"),
};
static_assert(DefineFits(kNotesDefs[0]) && DefineFits(kNotesDefs[1]) &&
                  Item::kLongRecord - 6 == Item::kMaxText && Item::kLongRecord <= Item::kFileRecord,
              "a note layout does not fit its record");

constexpr const TVKSDKRAMDefineInfo* kNotesList[] = {&kNotesDefs[0], &kNotesDefs[1]};

}  // namespace

TVKSDKHecrNotesItem::TVKSDKHecrNotesItem(TVKSDKHecrProtocol* HecrProtocol)
    : TVKSDKHecrStreamItem(HecrProtocol, kNotesDefs[0]) {}

const TVKSDKRAMDefineInfo& TVKSDKHecrNotesItem::Layout(bool LFCodeLen8) { return kNotesDefs[LFCodeLen8 ? 1 : 0]; }

std::span<const TVKSDKRAMDefineInfo* const> TVKSDKHecrNotesItem::Layouts() { return kNotesList; }

void TVKSDKHecrNotesItem::DefineFields() {
  FDef = &Layout(Params().DeviceRawData.LFCodeLen() == 8);
  FFields = FDef->Fields();
}

// A scale takes the short record when the stored text fits it; a binary file
// always holds the long form.
int32_t TVKSDKHecrNotesItem::RecordLenOfRow() const {
  if (Params().isConvert) return kFileRecord;
  const int32_t textLen = FRecord[4] << 8 | FRecord[5];
  return textLen <= kShortText ? kShortRecord : kLongRecord;
}

}  // namespace vk
