#include "tests/support/run_process.h"

#include <windows.h>
// psapi.h needs windows.h first.
#include <psapi.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <thread>

#include "platform/text.h"

namespace tolbe_test {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// One argument as the C runtime's command-line parser reads it back: quoted when it holds a
// blank or a quote, backslashes doubled only before a quote.
std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// A pipe whose `mine` end stays with this process and whose other end the child inherits.
struct Pipe {
    Handle mine;
    Handle child;
};

Pipe MakePipe(bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!::CreatePipe(&read, &write, &inherit, 0)) {
        throw std::runtime_error("CreatePipe failed");
    }
    Pipe pipe{Handle(childReads ? write : read), Handle(childReads ? read : write)};
    ::SetHandleInformation(pipe.mine.get(), HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

void ReadAll(HANDLE from, std::string& sink) {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        sink.append(buffer, got);
    }
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input) {
    std::wstring commandLine;
    for (const std::string& argument : argv) {
        commandLine +=
            (commandLine.empty() ? L"" : L" ") + QuoteArgument(platform::NarrowToWide(argument));
    }
    Pipe in = MakePipe(true), out = MakePipe(false), err = MakePipe(false);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.child.get();
    startup.hStdOutput = out.child.get();
    startup.hStdError = err.child.get();
    PROCESS_INFORMATION process{};
    const std::wstring program = platform::NarrowToWide(argv.at(0));
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          nullptr, &startup, &process)) {
        throw std::runtime_error("cannot start " + argv[0]);
    }
    const Handle child(process.hProcess);
    ::CloseHandle(process.hThread);
    in.child.reset();
    out.child.reset();
    err.child.reset();

    ProcessResult result;
    std::thread outReader([&] { ReadAll(out.mine.get(), result.out); });
    std::thread errReader([&] { ReadAll(err.mine.get(), result.err); });
    std::thread inWriter([&] {
        DWORD written = 0;
        size_t sent = 0;
        while (sent < input.size() &&
               ::WriteFile(in.mine.get(), input.data() + sent,
                           static_cast<DWORD>(input.size() - sent), &written, nullptr)) {
            sent += written;
        }
        in.mine.reset();
    });
    // The most memory the program held, read while it runs: the counters of a process that has
    // ended read as zero. The peak is the system's own high-water mark, so nothing between two
    // looks is missed.
    size_t peakBytes = 0;
    while (::WaitForSingleObject(child.get(), 10) == WAIT_TIMEOUT) {
        PROCESS_MEMORY_COUNTERS counters{};
        if (::GetProcessMemoryInfo(child.get(), &counters, sizeof counters)) {
            peakBytes = std::max(peakBytes, counters.PeakWorkingSetSize);
        }
    }
    result.peakMemoryKiB = static_cast<long>(peakBytes / 1024);
    outReader.join();
    errReader.join();
    inWriter.join();
    DWORD code = 0;
    ::GetExitCodeProcess(child.get(), &code);
    result.exitStatus = static_cast<int>(code);
    return result;
}

}  // namespace tolbe_test
