#include "install/directory_removal.h"

#include "platform/directories.h"
#include "platform/drive_roots.h"
#include "platform/files.h"
#include "platform/text.h"

namespace {

void DeleteEntries(const std::wstring& directory);

// Removes one directory and what it holds; whether the directory itself is gone.
bool DeleteTreeAt(const std::wstring& directory) {
    DeleteEntries(directory);
    return platform::RemoveEmptyDirectory(directory);
}

void DeleteEntries(const std::wstring& directory) {
    const auto entries = platform::ListDirectory(directory);
    if (!entries) {
        return;
    }
    for (const platform::DirectoryEntry& entry : *entries) {
        if (entry.name == L"." || entry.name == L"..") {
            continue;
        }
        // A trailing backslash on `directory` gives two in a row, which count as one.
        const std::wstring path = directory + L"\\" + entry.name;
        if (entry.isLink) {
            // The link goes, never what it points to.
            if (entry.isDirectory) {
                platform::RemoveEmptyDirectory(path);
            } else {
                platform::DeleteOneFile(path);
            }
        } else if (entry.isDirectory) {
            DeleteTreeAt(path);
        } else {
            platform::MakeFileWritable(path);
            platform::DeleteOneFile(path);
        }
    }
}

}  // namespace

bool DeleteDirectoryTree(const std::wstring& directory) {
    if (platform::ReachesDriveRoot(platform::WideToNarrow(directory))) {
        return false;
    }
    return DeleteTreeAt(directory);
}
