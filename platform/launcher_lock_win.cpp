// The one-launcher lock on Windows: a named mutex (see launcher_lock.h).

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/launcher_lock.h"
#include "platform/sandbox_profile.h"
#include "platform/text.h"

namespace platform {
namespace {

constexpr char kMutexName[] = R"(Local\TolbeLauncher)";
// The holder's event for requests to show its window: the mutex's name with this ending.
constexpr char kShowEventSuffix[] = "-show";

// The event of the launcher holding the lock, made when it took the lock; null before.
HANDLE g_showEvent = nullptr;

std::string ErrorText(const std::string& what, DWORD error) {
    return what + ": Windows error " + std::to_string(error);
}

// The mutex of the launchers of one sandbox: named after the profile file's identity, the same
// however the file is named (another case, a short name, a relative path, through a link).
LauncherLockPlace SandboxPlace(const std::string& profile) {
    LauncherLockPlace place;
    HANDLE file = ::CreateFileW(NarrowToWide(profile).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        place.problem = ErrorText("cannot open " + profile, ::GetLastError());
        return place;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = ::GetFileInformationByHandle(file, &info) != 0;
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    if (!known) {
        place.problem = ErrorText("cannot examine " + profile, error);
        return place;
    }
    char identity[64];
    std::snprintf(identity, sizeof identity, "-%08lX-%08lX%08lX",
                  static_cast<unsigned long>(info.dwVolumeSerialNumber),
                  static_cast<unsigned long>(info.nFileIndexHigh),
                  static_cast<unsigned long>(info.nFileIndexLow));
    place.file = std::string(kMutexName) + identity;
    return place;
}

}  // namespace

struct LauncherLock::Hold {
    explicit Hold(HANDLE handle) : mutex(handle) {}
    ~Hold() { ::CloseHandle(mutex); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    HANDLE mutex;
};

LauncherLockPlace ChooseLauncherLockPlace(const LauncherLockSetting& setting) {
    if (!setting.sandboxProfile.empty()) {
        return SandboxPlace(setting.sandboxProfile);
    }
    LauncherLockPlace place;
    place.file = kMutexName;
    return place;
}

LauncherLockSetting LauncherLockSettingOfProcess() {
    LauncherLockSetting setting;
    if (const char* profile = std::getenv(kSandboxVariable)) {
        setting.sandboxProfile = profile;
    }
    return setting;
}

LauncherLock::LauncherLock(const LauncherLockPlace& place) {
    if (place.file.empty()) {
        m_problem = place.problem;
        return;
    }
    // Not inherited (no security attributes): a program the launcher starts never keeps it.
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, NarrowToWide(place.file).c_str());
    const DWORD error = ::GetLastError();
    if (mutex == nullptr) {
        if (error == ERROR_ACCESS_DENIED) {
            m_state = State::HeldByAnother;  // made by a launcher of more rights
        } else {
            m_problem = ErrorText("cannot make the mutex " + place.file, error);
        }
        return;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        m_state = State::HeldByAnother;
        m_name = place.file;
        return;
    }
    m_hold = std::make_unique<Hold>(mutex);
    m_state = State::Held;
    m_name = place.file;
    // Auto-reset: each request is taken once. Kept for the process's life, like the listener
    // of the POSIX build.
    if (g_showEvent == nullptr) {
        g_showEvent =
            ::CreateEventW(nullptr, FALSE, FALSE, NarrowToWide(m_name + kShowEventSuffix).c_str());
    }
}

bool LauncherLock::AskHolderToShowItself() const {
    if (m_state != State::HeldByAnother || m_name.empty()) {
        return false;
    }
    HANDLE event =
        ::OpenEventW(EVENT_MODIFY_STATE, FALSE, NarrowToWide(m_name + kShowEventSuffix).c_str());
    if (event == nullptr) {
        return false;
    }
    const bool set = ::SetEvent(event) != 0;
    ::CloseHandle(event);
    return set;
}

// A request is an event that only the holder made and waits on: nothing needs to be ready
// before the lock is taken, unlike the signal of the POSIX build.
void ListenForShowRequests() {}

bool TakeShowRequest() {
    return g_showEvent != nullptr && ::WaitForSingleObject(g_showEvent, 0) == WAIT_OBJECT_0;
}

LauncherLock::~LauncherLock() = default;

}  // namespace platform
