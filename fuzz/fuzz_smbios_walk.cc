// The SMBIOS walk over arbitrary data. The stand-in for the library's
// NextPair follows a third word as biosinfo.so does, read as a signed step
// so that chains can also run backwards, in circles and off the data.

#include <cstdint>
#include <cstring>
#include <span>

#include "device/smbios_walk.h"

namespace {

const uint8_t* data_begin = nullptr;
size_t data_size = 0;

void* FuzzNextPair(void* record) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(record);
  const uintptr_t begin = reinterpret_cast<uintptr_t>(data_begin);
  if (at - begin + 6 > data_size) return nullptr;
  int16_t step;
  memcpy(&step, static_cast<const uint8_t*>(record) + 4, sizeof step);
  return reinterpret_cast<void*>(at +
                                 static_cast<uintptr_t>(static_cast<intptr_t>(step)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  data_begin = data;
  data_size = size;
  dusk::WalkSmbiosData(std::span<const uint8_t>(data, size), FuzzNextPair);
  return 0;
}
