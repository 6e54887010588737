#include "tests/support/unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace tolbe_test {
namespace {

constexpr uid_t kUnprivilegedId = 65534;  // "nobody"
constexpr int kNoUnprivilegedUser = 77;

}  // namespace

std::optional<bool> RunAsUnprivilegedUser(const std::string& base,
                                          const std::function<bool()>& action) {
    if (::geteuid() != 0) {
        return action();
    }
    std::error_code ignored;
    ::lchown(base.c_str(), kUnprivilegedId, kUnprivilegedId);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(base, ignored)) {
        ::lchown(entry.path().c_str(), kUnprivilegedId, kUnprivilegedId);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedId) != 0 ||
            ::setuid(kUnprivilegedId) != 0) {
            ::_exit(kNoUnprivilegedUser);
        }
        ::_exit(action() ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) == kNoUnprivilegedUser) {
        return std::nullopt;
    }
    return WEXITSTATUS(status) == 1;
}

}  // namespace tolbe_test
