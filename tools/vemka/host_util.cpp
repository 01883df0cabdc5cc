#include "host_util.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace vemka {

std::string CodeText(uint32_t code) {
  switch (code) {
#define VEMKA_CODE_CASE_(name, value, text) \
  case value:                               \
    return std::to_string(value) + " " + text;
    VKSDK_RESULT_CODES(VEMKA_CODE_CASE_)
#undef VEMKA_CODE_CASE_
    case 0xFFFFFFFFu:
      return "no result reported";
    default:
      return std::to_string(code) + " unknown code";
  }
}

bool ParseAddress(const std::string& text, uint32_t& out) {
  unsigned a, b, c, d;
  char tail;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4) return false;
  if (a > 255 || b > 255 || c > 255 || d > 255) return false;
  out = (a << 24) | (b << 16) | (c << 8) | d;
  return true;
}

std::u16string ToUtf16(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp = c;
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
    if (len > 1) cp = c & (0x7F >> len);
    for (size_t k = 1; k < len && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string ToUtf8(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size()) cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

namespace {

struct Progress {
  bool tty = isatty(STDERR_FILENO) != 0;
  uint32_t lastShown = 0xFFFFFFFFu;
  uint32_t finalCode = 0xFFFFFFFFu;
};

void VEMKA_CALL OnProgress(uint32_t code, uint32_t index, uint32_t total, void* user) {
  auto* p = static_cast<Progress*>(user);
  if (code == VKSDK_PROGRESS) {
    if (p->tty) {
      int width = 40;
      int filled = total ? static_cast<int>(static_cast<uint64_t>(index) * width / total) : 0;
      if (filled > width) filled = width;
      std::fprintf(stderr, "\r[%s%s] %u/%u", std::string(filled, '#').c_str(),
                   std::string(width - filled, '.').c_str(), index, total);
    } else if (index != p->lastShown && (total < 100 || index % (total / 20 ? total / 20 : 1) == 0 || index == total)) {
      std::fprintf(stderr, "progress %u/%u\n", index, total);
    }
    p->lastShown = index;
    return;
  }
  p->finalCode = code;
  if (p->tty) std::fprintf(stderr, "\n");
  std::fprintf(stderr, "result: %s (%u/%u)\n", CodeText(code).c_str(), index, total);
}

}  // namespace

uint32_t RunTask(uint32_t addr, uint32_t port, uint32_t protocolType, uint32_t procType, int32_t dataType,
                 int32_t dataID, const std::string& file) {
  Progress p;
  VemkaSDK_Initialize(nullptr);
  std::u16string wfile = ToUtf16(file);
  VKSDK_TASK h = VemkaSDK_ExecTaskEx(addr, port, protocolType, procType, dataType, dataID, wfile.c_str(),
                                     &OnProgress, &p);
  VemkaSDK_WaitForTask(h);
  return p.finalCode;
}

int ExitStatus(uint32_t code) { return code == VKSDK_OK ? 0 : 1; }

}  // namespace vemka
