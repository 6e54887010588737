#include "archive/entry_name.h"

#include <algorithm>

bool EntryNameStaysInside(std::string_view name) {
    if (!name.empty() && (name.front() == '/' || name.front() == '\\')) {
        return false;
    }
    if (name.find_first_of(std::string_view(":\0", 2)) != std::string_view::npos) {
        return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find_first_of("/\\", start), name.size());
        if (name.substr(start, end - start) == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}
