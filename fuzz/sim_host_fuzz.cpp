// The emulator's side of the host link: arbitrary feature report writes and
// reads, and the wire frames of its socket, must neither crash nor run past a
// buffer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/hid/sim_wire.h"
#include "sim/keyboard.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vyre::sim::Keyboard keyboard(vyre::sim::KeyboardConfig{.model = vyre::sim::Model::B,
                                                                   .busyPolls = 0});
    static auto feature = keyboard.Open(keyboard.Interfaces()[0].path, vyre::hid::OpenMode::Feature);

    // Operations: a byte with the kind and a 16-bit length, then the bytes.
    std::size_t pos = 0;
    while (pos + 3 <= size) {
        const std::uint8_t kind = data[pos];
        std::size_t n = static_cast<std::size_t>(data[pos + 1] | (data[pos + 2] << 8)) % 2100;
        pos += 3;
        if (n > size - pos) n = size - pos;
        std::vector<std::uint8_t> bytes(data + pos, data + pos + n);
        pos += n;
        switch (kind % 4) {
            case 0: feature->SetFeature(bytes.data(), bytes.size()); break;
            case 1:
                if (!bytes.empty()) feature->GetFeature(bytes.data(), bytes.size());
                break;
            case 2: {
                vyre::hid::wire::Reader r(bytes);
                vyre::hid::DeviceInfo info;
                std::uint16_t count = 0;
                if (r.U16(count)) {
                    for (std::uint16_t i = 0; i < count && r.Info(info); ++i) {
                    }
                }
                break;
            }
            default:
                vyre::sim::ParseHexBytes(std::string(bytes.begin(), bytes.end()));
                break;
        }
    }
    return 0;
}
