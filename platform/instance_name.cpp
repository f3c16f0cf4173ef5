#include "platform/instance_name.h"

namespace pxr9 {

std::string instanceName(const std::string& base, int number) {
    if (number == 1) return base;
    return base + " (" + std::to_string(number) + ")";
}

std::string copyLimitText(int limit) {
    return "It is forbidden to launch more than " + std::to_string(limit) +
           " instance of this application.";
}

}  // namespace pxr9
