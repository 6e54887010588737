#pragma once
// Runs a piece of a test as an unprivileged user, so that a folder without write permission
// really protects what is in it (root passes every permission check).

#include <functional>
#include <optional>
#include <string>

namespace tolbe_test {

// Runs `action` as the current user when that is not root. As root, the tree below `base` is
// handed to "nobody" and `action` runs in a forked child process that becomes that user (call it
// only from a process without threads of its own). Returns the action's result, or nullopt when
// no unprivileged user can be had.
std::optional<bool> RunAsUnprivilegedUser(const std::string& base,
                                          const std::function<bool()>& action);

}  // namespace tolbe_test
