#include "sim/sim_info.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vemkasim {

namespace {

template <size_t N>
void PutArray(Bytes& b, size_t at, const std::array<uint8_t, N>& a) {
  std::copy(a.begin(), a.end(), b.begin() + static_cast<ptrdiff_t>(at));
}

}  // namespace

Bytes HecrInfo::Build() const {
  Bytes b(256, 0);
  PutBE(b, 3, serial, 4);
  char number[16];
  std::snprintf(number, sizeof number, "%08u", static_cast<unsigned>(serial % 100000000));
  PutText(b, 7, nameText.empty() ? model + number : nameText, 16);
  PutBE(b, 23, version, 2);
  b[25] = country;
  PutBE(b, 26, ownIp, 4);
  b[30] = priceExponent;
  b[31] = amountMultiple;
  b[32] = secondExponent;
  b[34] = keyType;
  b[36] = displayType;
  PutBE(b, 52, printerDot, 8);
  PutBE(b, 60, labelPages, 4);
  PutArray(b, 64, printerStartDate);
  PutBE(b, 71, printerNo, 4);
  b[75] = department;
  PutText(b, 76, cpuType, 4);
  PutLE(b, 80, codePage, 4);
  PutBE(b, 112, hotkeyCount, 2);
  for (size_t i = 0; i < noteCapacity.size(); ++i) PutBE(b, 116 + 2 * i, noteCapacity[i], 2);
  PutBE(b, 124, pluCapacity, 2);
  PutBE(b, 126, nutritionCapacity, 2);
  PutBE(b, 128, discountCapacity, 2);
  b[146] = classLetter;
  b[147] = lfCodeLen;
  PutArray(b, 148, deviceId);
  PutArray(b, 152, stockId);
  b[156] = fontAreaBad;
  b[157] = dataAreaBad;
  PutArray(b, 168, nickId);
  b[176] = busy;
  b[177] = hangScale;
  PutArray(b, 180, mac);
  b[186] = sdCardError;
  PutArray(b, 193, cpuId);
  b[209] = cpuIdLen;
  b[210] = touch;
  PutText(b, 211, aiName, 5);
  PutBE(b, 216, aiId, 4);
  b[220] = smallM3Cpu;
  return b;
}

Bytes PecrInfo::Build() const {
  Bytes b(std::max<size_t>(replyLength, 256), 0);
  b[0] = 14;  // the reply echoes the search request's data type and address
  PutLE(b, 1, 3, 2);
  PutBE(b, 17, version, 4);
  PutBE(b, 21, buildDate, 4);
  b[27] = power;
  PutText(b, 42, makerTag, 5);
  b[50] = keyType;
  b[51] = displayType;
  PutText(b, 55, name, 8);
  PutBE(b, 84, serial, 4);
  PutArray(b, 90, nickId);
  b[98] = busy;
  b[99] = hangScale;
  b[109] = cpuIdLen;
  PutArray(b, 110, cpuId);
  if (legacyBoard)
    for (size_t i = 0; i < 128; ++i) b[4 + i] = static_cast<uint8_t>(255 - i);
  b.resize(replyLength);
  return b;
}

Bytes TSecrInfo::Build() const {
  Bytes b(std::max<size_t>(replyLength, 256), 0);
  PutLE(b, 0, linkType, 4);
  PutText(b, 4, serialText, 32);
  PutText(b, 36, name, 16);
  PutText(b, 52, versionText, 16);
  PutLE(b, 68, country, 4);
  PutLE(b, 76, keyType, 4);
  PutLE(b, 80, printerDot, 8);
  uint64_t dateBits = 0;
  std::memcpy(&dateBits, &printerStartDate, sizeof dateBits);
  PutLE(b, 88, dateBits, 8);
  PutLE(b, 96, labelPages, 4);
  PutLE(b, 100, printerNo, 4);
  PutLE(b, 104, department, 4);
  PutArray(b, 112, firmware);
  PutArray(b, 132, nickId);
  b[140] = busy;
  b[141] = hangScale;
  PutArray(b, 155, cpuId);
  b[171] = cpuIdLen;
  b[172] = classLetter;
  PutText(b, 173, aiName, 5);
  PutBE(b, 178, aiId, 4);
  b.resize(replyLength);
  return b;
}

}  // namespace vemkasim
