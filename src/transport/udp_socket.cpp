// Address text of the UDP socket wrapper; the system calls are in
// udp_socket_posix.cpp and udp_socket_win.cpp.
#include "transport/udp_socket.h"


namespace vk {

bool ParseDottedIPv4(std::string_view text, uint32_t& out) {
  uint32_t result = 0;
  int parts = 0;
  size_t i = 0;
  while (parts < 4) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    unsigned v = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      v = v * 10 + static_cast<unsigned>(text[i] - '0');
      if (++digits > 3 || v > 255) return false;
      ++i;
    }
    result = (result << 8) | v;
    ++parts;
    if (parts < 4) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
  }
  if (i != text.size()) return false;
  out = result;
  return true;
}

std::string FormatDottedIPv4(uint32_t a) {
  return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
         std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

}  // namespace vk
