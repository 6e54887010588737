#pragma once
// Links for the Windows tests. To folders: a junction where the host can make one, else (under
// Wine, which cannot) the host's symbolic link behind the Windows path, which Wine lists as a
// reparse point to a folder. To files: a symbolic link (under Wine, the host's).

#include <string>

namespace tolbe_test {

// True when the tests run under Wine rather than Windows itself.
bool RunningUnderWine();

// Makes `link` (a host path in Windows form, not there yet) a link to the folder `target`.
// Throws when neither kind can be made.
void MakeFolderLink(const std::string& link, const std::string& target);

// Makes `link` (not there yet) a symbolic link to the existing file `target`: the host's link
// under Wine, as for folders. Throws when it cannot be made.
void MakeFileLink(const std::string& link, const std::string& target);

}  // namespace tolbe_test
