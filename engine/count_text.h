#pragma once

#include <string>

namespace pxr9 {

// "%d/%d"-style texts of the step counter and the status line.
std::string formatCounts(const std::string& format, int first, int second);

}  // namespace pxr9
