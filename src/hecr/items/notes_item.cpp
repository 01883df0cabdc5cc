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

// The data types and the table counter that gives each one's record count.
struct NotesType {
  int32_t DataType;
  int32_t CounterOffset;
};
constexpr NotesType kNotesTypes[] = {{12, 2}, {13, 4}, {14, 8}, {28, 10}};

template <size_t N>
constexpr TVKSDKRAMDefineInfo NotesDefine(const TVKSDKRAMFieldInfo (&Fields)[N], int32_t CounterOffset) {
  return TableDefine(Fields, Item::kFileRecord, Item::kFileRecord, u"PLUID", 1, 0, CounterOffset);
}

constexpr TVKSDKRAMDefineInfo kNotesDefs[2][4] = {
    {NotesDefine(kNoteFields, 2), NotesDefine(kNoteFields, 4), NotesDefine(kNoteFields, 8),
     NotesDefine(kNoteFields, 10)},
    {NotesDefine(kNoteFields8, 2), NotesDefine(kNoteFields8, 4), NotesDefine(kNoteFields8, 8),
     NotesDefine(kNoteFields8, 10)},
};

constexpr bool NotesLayoutsFit() {
  for (const auto& row : kNotesDefs)
    for (size_t k = 0; k < std::size(kNotesTypes); ++k)
      if (!DefineFits(row[k]) || row[k].CounterOffset != kNotesTypes[k].CounterOffset) return false;
  return Item::kLongRecord - 6 == Item::kMaxText && Item::kLongRecord <= Item::kFileRecord;
}
static_assert(NotesLayoutsFit(), "a note layout does not fit its record or names another counter");

constexpr const TVKSDKRAMDefineInfo* kNotesList[] = {&kNotesDefs[0][0], &kNotesDefs[0][1], &kNotesDefs[0][2],
                                                     &kNotesDefs[0][3], &kNotesDefs[1][0], &kNotesDefs[1][1],
                                                     &kNotesDefs[1][2], &kNotesDefs[1][3]};

}  // namespace

TVKSDKHecrNotesItem::TVKSDKHecrNotesItem(TVKSDKHecrProtocol* HecrProtocol)
    : TVKSDKHecrStreamItem(HecrProtocol, kNotesDefs[0][0]) {}

const TVKSDKRAMDefineInfo* TVKSDKHecrNotesItem::Layout(int32_t DataType, bool LFCodeLen8) {
  for (size_t k = 0; k < std::size(kNotesTypes); ++k)
    if (kNotesTypes[k].DataType == DataType) return &kNotesDefs[LFCodeLen8 ? 1 : 0][k];
  return nullptr;
}

std::span<const TVKSDKRAMDefineInfo* const> TVKSDKHecrNotesItem::Layouts() { return kNotesList; }

void TVKSDKHecrNotesItem::DefineFields() {
  const TVKSDKExecParams& p = Params();
  if (const TVKSDKRAMDefineInfo* def = Layout(p.DataType, p.DeviceRawData.Raw[147] == 8)) FDef = def;
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
