#pragma once

#include <string>

namespace pxr9 {

// The three version stamps of one firmware set, as texts ("1.00"); empty when not read.
struct StampSet {
    std::string system;
    std::string preset;
    std::string boot;

    bool operator==(const StampSet&) const = default;
};

// What a version check found: the device's stamps and those of the images this program
// carries. Written by the worker, read by the front end once the worker has ended.
struct VersionStamps {
    StampSet device;
    StampSet carried;
};

}  // namespace pxr9
