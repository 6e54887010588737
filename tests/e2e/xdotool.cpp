#include "tests/e2e/xdotool.h"

#include <sstream>

#include "tests/support/run_process.h"

namespace tolbe_test {
namespace {

// Every call of xdotool ends within this many seconds, even one waiting for a focus that never
// comes.
constexpr char kCallTimeoutSeconds[] = "10";
constexpr char kEnvProgram[] = "/usr/bin/env";

}  // namespace

XdoTool::Answer XdoTool::Run(const std::vector<std::string>& arguments) const {
    std::vector<std::string> argv = {kEnvProgram, "DISPLAY=" + m_display, "timeout",
                                     kCallTimeoutSeconds, "xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const ProcessResult result = RunProcess(argv);
    return {result.exitStatus, result.out};
}

std::vector<std::string> XdoTool::Windows(const std::vector<std::string>& searchArguments) const {
    std::vector<std::string> arguments = {"search", "--onlyvisible"};
    arguments.insert(arguments.end(), searchArguments.begin(), searchArguments.end());
    std::istringstream lines(Run(arguments).out);
    std::vector<std::string> windows;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) {
            windows.push_back(line);
        }
    }
    return windows;
}

std::vector<std::string> XdoTool::ShownWindows(const std::string& titlePattern) const {
    return Windows({"--name", titlePattern});
}

std::vector<std::string> XdoTool::ShownWindowsOf(int pid) const {
    return Windows({"--pid", std::to_string(pid)});
}

std::string XdoTool::Title(const std::string& window) const {
    const Answer answer = Run({"getwindowname", window});
    std::string title = answer.status == 0 ? answer.out : "";
    if (!title.empty() && title.back() == '\n') {
        title.pop_back();
    }
    return title;
}

bool XdoTool::PressKeys(const std::string& window, const std::vector<std::string>& keys) const {
    std::vector<std::string> arguments = {"windowfocus", "--sync", window};
    for (const std::string& key : keys) {
        arguments.insert(arguments.end(), {"key", key});
    }
    return Run(arguments).status == 0;
}

}  // namespace tolbe_test
