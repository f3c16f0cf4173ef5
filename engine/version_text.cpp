#include "engine/version_text.h"

#include <cstring>

namespace pxr9 {

void sanitiseVersionText(VersionText& text) {
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c > 0x7E) {
            std::memcpy(text.data(), "*.**", 5);
            return;
        }
    }
}

std::string deviceVersionText(std::uint32_t word) {
    VersionText text{};
    for (int i = 0; i < 4; ++i) text[i] = static_cast<char>(word >> (8 * i));
    text[4] = 0;
    sanitiseVersionText(text);
    return std::string(text.data());
}

}  // namespace pxr9
