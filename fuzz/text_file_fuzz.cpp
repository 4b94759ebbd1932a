// Help text decoding and the code page conversions on arbitrary bytes.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vyre::text;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::u16string wide = DecodeTextFile(input);
    SplitLines(wide);
    // Valid UTF-16 survives UTF-8 both ways.
    std::u16string again = Utf8ToUtf16(Utf16ToUtf8(Utf8ToUtf16(input)));
    if (again != Utf8ToUtf16(input)) std::abort();
    for (unsigned page : {kCodePageSystem, kCodePageBig5}) {
        std::u16string converted = MultiByteToWide(page, input);
        char field[24];
        std::size_t used = WideToMultiByteField(page, converted, field, sizeof field);
        if (used >= sizeof field || field[used] != '\0') std::abort();
        if (FitMultiByte(page, input, sizeof field) >= sizeof field) std::abort();
    }
    return 0;
}
