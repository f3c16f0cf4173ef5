#pragma once

#include <string>

namespace pxr9 {

// The program's name: the About box shows it, copy 1 is titled and numbered by it.
inline constexpr char kUpdaterTitle[] = "KEVO PXR-9 System v1.10 Updater";

// How many copies may run at once.
inline constexpr int kMaxInstances = 20;

// The text that names copy n, both system-wide and in its window title: the base itself for
// copy 1, "base (n)" for any other copy.
std::string instanceName(const std::string& base, int number);

// What a copy that finds every number taken shows instead of running:
// "It is forbidden to launch more than 20 instance of this application."
std::string copyLimitText(int limit = kMaxInstances);

}  // namespace pxr9
