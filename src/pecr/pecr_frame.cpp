#include "pecr/pecr_frame.h"

#include <algorithm>
#include <cstring>

namespace vk {

TVKBytes TVKPecrProtocol::Package(uint8_t DataType, uint16_t Addr, const void* lpData,
                                  uint32_t Len) {
  TVKBytes f(kPecrFrameSize, 0);
  f[0] = DataType;
  f[1] = static_cast<uint8_t>(Addr);
  f[2] = static_cast<uint8_t>(Addr >> 8);
  const size_t n = lpData ? std::min<size_t>(Len, kPecrDataSize) : 0;
  if (n > 0) std::memcpy(f.data() + 3, lpData, n);
  return f;
}

TVKBytes TVKPecrProtocol::Package(uint8_t DataType, uint16_t Addr, const TVKBytes& Data) {
  return Package(DataType, Addr, Data.data(), static_cast<uint32_t>(Data.size()));
}

TVKBytes TVKPecrProtocol::Package(const TVKPecrHeadInfo& HeadInfo, const TVKBytes& Data) {
  return Package(HeadInfo.DataType, HeadInfo.Addr, Data);
}

bool TVKPecrProtocol::CheckPackage(const TVKBytes& PecrData) {
  return PecrData.size() == kPecrFrameSize;
}

TVKPecrHeadInfo TVKPecrProtocol::GetHeadInfo(const TVKBytes& PecrData) {
  TVKPecrHeadInfo h;
  if (!CheckPackage(PecrData)) return h;
  h.DataType = PecrData[0];
  h.Addr = static_cast<uint16_t>(PecrData[1] | (PecrData[2] << 8));
  return h;
}

TVKBytes TVKPecrProtocol::GetData(const TVKBytes& PecrData) {
  if (!CheckPackage(PecrData)) return {};
  return TVKBytes(PecrData.begin() + 3, PecrData.end());
}

TVKSysPecr::TVKSysPecr() : FBuffer(kPecrFrameSize, 0) {}

TVKSysPecr::TVKSysPecr(uint8_t ADT, uint16_t AAddr, const TVKBytes& AData) : TVKSysPecr() {
  SetDT(ADT);
  SetAddr(AAddr);
  SetData(AData);
}

TVKSysPecr::TVKSysPecr(uint8_t ADT, uint16_t AAddr, const void* lpData, int32_t Len)
    : TVKSysPecr() {
  SetDT(ADT);
  SetAddr(AAddr);
  SetData(lpData, Len);
}

void TVKSysPecr::SetAddr(uint16_t AAddr) {
  FBuffer[1] = static_cast<uint8_t>(AAddr);
  FBuffer[2] = static_cast<uint8_t>(AAddr >> 8);
}

uint16_t TVKSysPecr::GetAddr() const {
  return static_cast<uint16_t>(FBuffer[1] | (FBuffer[2] << 8));
}

void TVKSysPecr::SetData(const void* lpData, int32_t Len) {
  std::fill(FBuffer.begin() + 3, FBuffer.end(), 0);
  if (lpData == nullptr || Len <= 0) return;
  std::memcpy(FBuffer.data() + 3, lpData, std::min<size_t>(static_cast<size_t>(Len), kPecrDataSize));
}

TVKBytes TVKSysPecr::GetData() const { return TVKBytes(FBuffer.begin() + 3, FBuffer.end()); }

TVKBytes TVKSysPecr::Package(uint8_t ADT, uint16_t AAddr, const TVKBytes& AData) {
  return TVKSysPecr(ADT, AAddr, AData).GetPackageBuff();
}

TVKBytes TVKSysPecr::Package(uint8_t ADT, uint16_t AAddr, const void* lpData, int32_t Len) {
  return TVKSysPecr(ADT, AAddr, lpData, Len).GetPackageBuff();
}

bool TVKSysPecr::CheckReturn(const TVKBytes& AData) {
  return AData.size() == 1 && AData[0] == kPecrAck;
}

}  // namespace vk
