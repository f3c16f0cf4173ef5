#include "engine/count_text.h"

#include <cstdio>

namespace pxr9 {

std::string formatCounts(const std::string& format, int first, int second) {
    char text[128];
    const int n = std::snprintf(text, sizeof text, format.c_str(), first, second);
    return n < 0 ? std::string() : std::string(text);
}

}  // namespace pxr9
