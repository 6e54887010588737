#include "platform/files.h"
#include "platform/paths.h"
#include "platform/self_image.h"

namespace platform {

bool CopyRunningExecutable(std::string_view windowsPath) {
    // Windows keeps the file of a running program in place (it cannot be deleted while the
    // program runs), so the copy is made from that file.
    const std::string module = GetModuleFileName();
    return !module.empty() && CopyFileOver(module, windowsPath);
}

}  // namespace platform
