#include "tests/e2e/desktop_entry.h"

#include <sstream>

#include "tests/support/temp_dir.h"

namespace tolbe_test {
namespace {

// A value of type string: \s, \n, \t, \r and \\ stand for a blank, a line feed, a tab, a
// carriage return and a backslash.
std::string UnescapeValue(const std::string& value) {
    std::string text;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const char next = value[++i];
        switch (next) {
            case 's':
                text += ' ';
                break;
            case 'n':
                text += '\n';
                break;
            case 't':
                text += '\t';
                break;
            case 'r':
                text += '\r';
                break;
            default:
                text += next;
                break;
        }
    }
    return text;
}

// The first argument of an Exec value: a quoted argument has '"', '`', '$' and '\' escaped
// with a backslash inside the quotes and '%' doubled; an unquoted one ends at the first blank.
std::string FirstExecArgument(const std::string& value) {
    if (value.empty() || value[0] != '"') {
        return value.substr(0, value.find(' '));
    }
    std::string argument;
    for (size_t i = 1; i < value.size() && value[i] != '"'; ++i) {
        const bool escaped = value[i] == '\\' || (value[i] == '%' && value[i + 1] == '%');
        if (escaped && i + 1 < value.size()) {
            ++i;
        }
        argument += value[i];
    }
    return argument;
}

}  // namespace

DesktopEntry ReadDesktopEntry(const std::string& hostFile) {
    std::istringstream lines(ReadHostFile(hostFile));
    DesktopEntry entry;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Exec=", 0) == 0) {
            // The Exec key's own escapes come first, then its quoting.
            entry.exec = FirstExecArgument(UnescapeValue(line.substr(5)));
        } else if (line.rfind("Path=", 0) == 0) {
            entry.path = UnescapeValue(line.substr(5));
        } else if (line.rfind("Icon=", 0) == 0) {
            entry.icon = UnescapeValue(line.substr(5));
        }
    }
    return entry;
}

}  // namespace tolbe_test
