#pragma once
// Links for the Windows tests: to a folder a junction where the host can make one, else (under
// Wine, which cannot) the host's symbolic link behind the Windows path, which Wine lists as a
// reparse point to a folder; to a file a symbolic link.

#include <string>

namespace tolbe_test {

// True when the tests run under Wine rather than Windows itself.
bool RunningUnderWine();

// Makes `link` (a host path in Windows form, not there yet) a link to the folder `target`.
// Throws when neither kind can be made.
void MakeFolderLink(const std::string& link, const std::string& target);

// Makes `link` (a host path in Windows form, not there yet) a symbolic link to the file `target`,
// which need not exist: Windows' own symbolic link, or under Wine (whose own are no links) the
// host's, which Wine shows as the file it leads to and hides while it leads nowhere. Throws when
// it cannot be made (Windows without the right to make links).
void MakeFileLink(const std::string& link, const std::string& target);

// Under Wine: removes the entry and everything below it with the host's rm -rf, which removes a
// link as the link (Wine itself can neither remove a host link to a folder nor see one that
// leads nowhere), and waits until Windows no longer sees it.
void RemoveTreeOnHost(const std::wstring& path);

}  // namespace tolbe_test
