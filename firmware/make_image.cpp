// Writes one stand-in image: make_image <id> <output file> [stamp]
// A stamp other than the default lets tests and tools build images of other versions.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "firmware/generated_image.h"

namespace {

int fail(const std::string& text) {
    std::cerr << "make_image: " << text << '\n';
    return EXIT_FAILURE;
}

// A decimal id; none for anything else, including numbers beyond 32 bits.
std::optional<std::uint32_t> parseId(std::string_view text) {
    std::uint32_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
    return id;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) return fail("usage: make_image <id> <output file> [stamp]");

    const pxr9::ImageInfo* info = nullptr;
    if (const auto id = parseId(argv[1])) info = pxr9::findImageInfo(*id);
    if (info == nullptr) return fail(std::string("no image has the id ") + argv[1]);

    std::string_view stamp = pxr9::defaultStamp(info->id);
    if (argc == 4) {
        if (!info->stampOffset) return fail("image " + std::to_string(info->id) + " has no stamp");
        stamp = argv[3];
        if (stamp.size() != pxr9::kStampSize) return fail("a stamp is exactly 4 bytes");
    }

    const std::vector<std::uint8_t> bytes = pxr9::generateImage(*info, stamp);

    // Written beside the target and renamed, so a failed run never leaves a short image behind.
    const std::string target = argv[2];
    const std::string partial = target + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::remove(partial.c_str());
            return fail("cannot write " + partial);
        }
    }
    if (std::rename(partial.c_str(), target.c_str()) != 0) {
        std::remove(partial.c_str());
        return fail("cannot rename " + partial + " to " + target);
    }
    return EXIT_SUCCESS;
}
