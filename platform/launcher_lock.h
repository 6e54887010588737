#pragma once
// One launcher at a time for each user: a lock that the running launcher holds for its whole
// life. A second launcher that finds it taken ends before it reads or writes anything else.
//
// On POSIX the lock is flock(2) on a file: the kernel releases it when the holder ends in any
// way (a crash and SIGKILL included), and no program the launcher starts inherits it. Where the
// file lives:
//   - in a sandbox (TOLBE_SANDBOX names a profile): the profile file itself, opened read-only, so
//     that launchers of one sandbox exclude each other, those of different sandboxes (parallel
//     tests) do not, and nothing outside the sandbox is touched;
//   - else "tolbe-launcher.lock" in the user's runtime folder ($XDG_RUNTIME_DIR), when that is an
//     absolute path to a folder (not a link) that the user owns and nobody else may write;
//   - else the same file in /tmp/tolbe-launcher-UID, made with mode 0700 when missing and used
//     only on the same conditions.
// On Windows the lock is a named mutex in the session's namespace, made without inheritance: it
// lasts while a handle to it is open, and Windows closes the handles of a process that ends in
// any way. Its name is fixed ("Local\\TolbeLauncher"), or in a sandbox made from the identity of
// the profile file (its volume and file number), so that the same rules hold: launchers of one
// sandbox exclude each other, those of different sandboxes do not.
//
// A second launcher also asks the running one to show its window: on POSIX it sends SIGUSR1 to
// the process holding the lock (found in /proc/locks by the lock file's device and inode), and
// only when that process catches SIGUSR1, as a launcher listening for such requests does, so
// that no other program is ever ended by it. On Windows the running launcher makes an event
// named after its mutex, which the second one sets.

#include <memory>
#include <string>

#include "platform/show_request.h"

namespace platform {

// Where the lock file is and whether it may be created there.
struct LauncherLockPlace {
    std::string file;        // host path (Windows: the mutex's name); empty when there is no safe
                             // place (see problem)
    bool mayCreate = false;  // false: the file must exist already (a sandbox profile)
    std::string problem;     // why there is no place; empty otherwise
};

// What the place is chosen from.
struct LauncherLockSetting {
    std::string sandboxProfile;     // TOLBE_SANDBOX; empty when unset
    std::string runtimeFolder;      // XDG_RUNTIME_DIR; empty when unset
    std::string tempRoot = "/tmp";  // where the fallback folder is made
};

// The place by the rules at the top of this file. May make the fallback folder; nothing else.
LauncherLockPlace ChooseLauncherLockPlace(const LauncherLockSetting& setting);

// The setting of this process: its environment and /tmp.
LauncherLockSetting LauncherLockSettingOfProcess();

class LauncherLock {
public:
    enum class State {
        Held,           // this process holds the lock until the object goes
        HeldByAnother,  // another launcher holds it
        Unavailable,    // it cannot be had at all (see problem)
    };

    // Tries once, without waiting, to take the lock on the place's file. The file is never
    // opened through a link when it may be created (then with mode 0600), and must be a regular
    // file; the descriptor is close-on-exec. (Windows: the mutex of that name; one that is there
    // already, or that this user may not open, is another launcher's.)
    explicit LauncherLock(const LauncherLockPlace& place);
    ~LauncherLock();
    LauncherLock(const LauncherLock&) = delete;
    LauncherLock& operator=(const LauncherLock&) = delete;

    State state() const { return m_state; }

    // When another launcher holds the lock: asks it to show its window. False when it cannot be
    // found or does not listen for such requests.
    bool AskHolderToShowItself() const;

    // Why the lock is Unavailable; empty otherwise.
    const std::string& problem() const { return m_problem; }

private:
    struct Hold;  // what keeps the lock: the lock file's descriptor, or the mutex's handle
    std::unique_ptr<Hold> m_hold;
    State m_state = State::Unavailable;
    // The lock file's identity, for finding the holder (POSIX); the mutex's name (Windows).
    unsigned long long m_device = 0;
    unsigned long long m_inode = 0;
    std::string m_name;
    std::string m_problem;
};

}  // namespace platform
