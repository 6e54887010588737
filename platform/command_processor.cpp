// The launcher's own command processor: the portable half of processes.h.

#include <string_view>

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr std::string_view kDeleteCommand = "del";
constexpr int kCommandSucceeded = 0;
constexpr int kCommandFailed = 1;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

int RunCommandProcessor(const std::string& commandLine) {
    std::string_view line = commandLine;
    const size_t verbEnd = kDeleteCommand.size();
    if (line.size() <= verbEnd || !EqualsNoCase(line.substr(0, verbEnd), kDeleteCommand) ||
        !IsBlank(line[verbEnd])) {
        return kCommandFailed;
    }
    std::string_view path = line.substr(verbEnd + 1);
    while (!path.empty() && IsBlank(path.front())) {
        path.remove_prefix(1);
    }
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
        path = path.substr(1, path.size() - 2);
    }
    if (path.empty()) {
        return kCommandFailed;
    }
    return DeleteOneFile(path) ? kCommandSucceeded : kCommandFailed;
}

}  // namespace platform
