// Wave files of any content: decoded or refused, never read past their end.

#include <cstdint>
#include <string_view>

#include "platform/sound.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vyre::platform::WaveData wave;
    vyre::platform::DecodeWave(std::string_view(reinterpret_cast<const char*>(data), size), &wave);
    return 0;
}
