#pragma once
// A program started in the background for as long as the object lives: its own process group,
// its own environment and working directory, its output in a file. It never outlives the object
// (nor the test process, should that die first).

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tolbe_test {

struct ChildOptions {
    std::vector<std::string> argv;  // argv[0] is searched in PATH when it holds no '/'
    // Changes to the test's own environment: a value sets the variable, none removes it.
    std::map<std::string, std::optional<std::string>> environment;
    std::string workingDir;  // empty: the test's own
    std::string outputFile;  // standard output and error; empty: /dev/null
    // A descriptor of the test handed to the program as its descriptor 3 (-1: none).
    int descriptor3 = -1;
};

class ChildProcess {
public:
    // Starts the program. Throws std::runtime_error when it cannot be started (the file missing
    // or not executable included).
    explicit ChildProcess(const ChildOptions& options);
    // Ends the program and its process group if it still runs (SIGTERM, then SIGKILL after a
    // grace period) and collects it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int pid() const { return m_pid; }

    // Waits until the program has ended or the timeout has passed. Its exit status (128 + the
    // signal number when a signal ended it), or none while it still runs.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout);

    // True while the program has not ended.
    bool Running() { return !WaitForExit(std::chrono::milliseconds(0)).has_value(); }

private:
    int m_pid = -1;
    std::optional<int> m_status;
};

}  // namespace tolbe_test
