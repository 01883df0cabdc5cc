// Tab-separated table files: byte-order marks, line indexes, readers and
// writers, cell splitting, column lookup, and the small text helpers that go
// with them (escapes, hexadecimal text, addresses).
//
// The operations live in the namespace TVKSDKUtils, which vk pulls in, so
// both TVKSDKUtils::SplitString(...) and SplitString(...) work inside vk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "data/field_info.h"
#include "data/numbers.h"
#include "data/table_ops.h"
#include "runtime/codepage.h"
#include "runtime/file_stream.h"
#include "runtime/types.h"

namespace vk {

// One indexed line: byte offset of its first character in the file and its
// length in bytes without the line end.
struct TVKSDKLineInfo {
  int32_t Offset = 0;
  int32_t Count = 0;
};
using TVKSDKLinesInfo = std::vector<TVKSDKLineInfo>;

namespace TVKSDKUtils {

// 65001, 1200 or 1201 from the file's byte-order mark; 0 without one or when
// the file cannot be opened.
uint16_t GetFileEncodingType(const std::filesystem::path& FileName);

// Size of the byte-order mark of CodePage at the start of Data (0 when the
// mark is absent or CodePage has none).
size_t ByteOrderMarkSize(const uint8_t* Data, size_t Size, uint32_t CodePage);

// Writes the byte-order mark of 1200, 1201 or 65001; nothing for others.
bool WriteStreamHeader(TVKFileStream& Stream, uint32_t CodePage);

// Byte index of every non-empty line of the whole stream. A mark of 1200,
// 1201 or 65001 is skipped when present. CR LF, a lone CR and a lone LF all
// end a line; for 1200/1201 they are read as 16-bit units. Element 0 is the
// header.
TVKSDKLinesInfo GetFileLinesInfo(TVKFileStream& FileStream, uint32_t CodePage);
// The same over bytes already in memory (offsets relative to Data).
TVKSDKLinesInfo GetLinesInfo(const uint8_t* Data, size_t Size, uint32_t CodePage);

// Reads and decodes one indexed line; any CR or LF inside it is dropped.
std::u16string ReadLineFromFileStream(TVKFileStream& FileStream, const TVKSDKLineInfo& LineInfo,
                                      uint32_t CodePage);

// Reads a whole (small) table file: mark skipped when present, lines ended by
// CR LF, CR or LF, blank lines and lines of a single TAB dropped, cells split
// at TAB. A last line without a line end carries one extra empty cell.
TVKStringsDynArray GetImportStringsDynArray(TVKFileStream& FileStream, uint32_t FileCodePage);

// A table held in a string: lines at CR LF, CR or LF, empty lines dropped.
TVKStringsDynArray StringToStringDataItems(std::u16string_view Str);

// "a\tb\t" gives a, b and an empty cell; an empty text gives no cells.
TVKStrings SplitString(std::u16string_view Text, char16_t Separator);
// Appends to List the pieces of Text between occurrences of Separator.
void SplitStringList(std::u16string_view Text, std::u16string_view Separator, TVKStrings& List);

// Column names compare with ASCII letters folded; other characters exactly.
bool SameFieldName(std::u16string_view a, std::u16string_view b);

// Column of Field in a header row, -1 if absent.
int32_t GetFieldIndex(const TVKStrings& FieldsLine, std::u16string_view Field);
int32_t GetFieldIndex(const TVKStringsDynArray& StringDataItems, std::u16string_view FieldName);

// For each header cell, the index of the first field definition of that name
// (never a "%Nil%" field), else -1.
TVKIntegers GetFieldLineIndexs(const TVKStrings& FieldsLine, const TVKSDKRAMFieldInfo* FieldDefine,
                               int32_t FieldCount);
TVKIntegers GetFieldLineIndexs(std::u16string_view FieldsLine, const TVKSDKRAMFieldInfo* FieldDefine,
                               int32_t FieldCount);
// For each wanted name, the first (non-empty) header column carrying it, else -1.
TVKIntegers GetFieldLineIndexs(const TVKStrings& ImportFields, const TVKStrings& FieldDefines);

// Header line of an upload file: every field name except "%Nil%", TAB-joined.
std::u16string GetHecrFields(const TVKSDKRAMFieldInfo* FieldDynArray, int32_t Count);
inline std::u16string FieldsHeaderLine(const TVKSDKRAMFieldInfo* FieldDefine, int32_t FieldCount) {
  return GetHecrFields(FieldDefine, FieldCount);
}

// Writes Value plus CR LF encoded in CodePage.
bool WriteLineToFileStream(TVKFileStream& FileStream, std::u16string_view Value, uint32_t CodePage);

// Escapes for payloads: CR becomes "{$0D}"; for ProtocolType 3 also LF
// "{$0A}" and TAB "{$09}". DecodeStr undoes them and reads \r and \n.
// Replaces every occurrence of from (not empty) by to.
void ReplaceAll(std::u16string& s, std::u16string_view from, std::u16string_view to);
std::u16string EncodeStr(std::u16string_view s, int32_t ProtocolType);
std::u16string DecodeStr(std::u16string_view s);
// Only the three cell escapes "{$0D}", "{$0A}" and "{$09}" back to CR, LF
// and TAB (DecodeStr's first step).
std::u16string DecodeCellEscapes(std::u16string_view s);

// File name part of a path written with / or \.
std::u16string MyExtractFileName(std::u16string_view FileName);

// Two upper-case hexadecimal digits per byte, and back (an invalid pair gives
// 00, an odd last character is ignored).
std::u16string Bytes2Hex(const uint8_t* Data, size_t Size);
inline std::u16string Bytes2Hex(const TVKBytes& Data) { return Bytes2Hex(Data.data(), Data.size()); }
TVKBytes Hex2Bytes(std::u16string_view hexstr);

// True when Count bytes from Index are zero (stopping at the end of Buf).
bool isMemZero(const TVKBytes& Buf, int32_t Index, int32_t Count);

// Dotted IPv4 text and 32-bit integers, first octet most significant;
// malformed text gives 0.
uint32_t IPToInteger(std::u16string_view IP);
std::u16string IntegerToIP(uint32_t Value);
bool SameIPAddress(std::u16string_view x, std::u16string_view y);

// The number, date and code page helpers belong to the same family.
using vk::CodePageBytesToString;
using vk::MyDateTimeToStr;
using vk::MyFloatToStr;
using vk::MyStrToDateTimeDef;
using vk::MyStrToFloatDef;
using vk::StringToCodePageBytes;
using vk::StrToInt64Def;
using vk::StrToIntDef;

}  // namespace TVKSDKUtils

using namespace TVKSDKUtils;

}  // namespace vk
