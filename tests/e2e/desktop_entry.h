#pragma once
// Reading the desktop shortcut the way a desktop does: the program its Exec key starts, the
// folder its Path key starts it in and the picture its Icon key shows.

#include <string>

namespace tolbe_test {

struct DesktopEntry {
    std::string exec;  // the program, its quoting and escapes undone
    std::string path;  // the working directory, its escapes undone; empty when not given
    std::string icon;  // the icon's file, its escapes undone; empty when not given
};

// Reads the entry file. Throws std::runtime_error when it cannot be read. A key that is missing
// reads as empty.
DesktopEntry ReadDesktopEntry(const std::string& hostFile);

}  // namespace tolbe_test
