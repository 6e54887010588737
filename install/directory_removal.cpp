#include "install/directory_removal.h"

#include "platform/directories.h"
#include "platform/drive_roots.h"
#include "platform/text.h"

namespace {

void DeleteEntries(const platform::Folder& folder) {
    const auto entries = folder.List();
    if (!entries) {
        return;
    }
    for (const platform::DirectoryEntry& entry : *entries) {
        if (entry.name != "." && entry.name != "..") {
            DeleteFolderEntry(folder, entry);
        }
    }
}

}  // namespace

bool DeleteFolderEntry(const platform::Folder& folder, const platform::DirectoryEntry& entry) {
    if (entry.isLink) {
        // The link goes, never what it points to.
        return entry.isDirectory ? folder.RemoveEmptySubfolder(entry.name)
                                 : folder.DeleteOneFile(entry.name);
    }
    if (entry.isDirectory) {
        if (const auto subfolder = folder.OpenSubfolder(entry.name)) {
            DeleteEntries(*subfolder);
        }
        return folder.RemoveEmptySubfolder(entry.name);
    }
    folder.MakeFileWritable(entry.name);
    return folder.DeleteOneFile(entry.name);
}

bool DeleteDirectoryTree(const std::wstring& directory) {
    const std::string path = platform::WideToNarrow(directory);
    if (platform::ReachesDriveRoot(path)) {
        return false;
    }
    if (const auto folder = platform::Folder::Open(path)) {
        DeleteEntries(*folder);
    }
    return platform::RemoveEmptyDirectory(directory);
}
