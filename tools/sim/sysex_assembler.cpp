#include "tools/sim/sysex_assembler.h"

namespace pxr9::tools {

void SysexAssembler::feed(const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        if (b == 0xF0) {
            message_.assign(1, b);
            inside_ = true;
            continue;
        }
        if (!inside_) continue;
        if (b >= 0xF8) continue;  // real-time bytes may interleave with anything
        if (b == 0xF7) {
            message_.push_back(b);
            inside_ = false;
            sink_(message_);
            message_.clear();
            continue;
        }
        if (b >= 0x80 || message_.size() + 1 >= limit_) {
            // A status byte ends SysEx without its F7; an endless message is never served.
            inside_ = false;
            message_.clear();
            continue;
        }
        message_.push_back(b);
    }
}

}  // namespace pxr9::tools
