#pragma once
// Links to folders for the Windows tests: a junction where the host can make one, else (under
// Wine, which cannot) the host's symbolic link behind the Windows path, which Wine lists as a
// reparse point to a folder.

#include <string>

namespace tolbe_test {

// True when the tests run under Wine rather than Windows itself.
bool RunningUnderWine();

// Makes `link` (a host path in Windows form, not there yet) a link to the folder `target`.
// Throws when neither kind can be made.
void MakeFolderLink(const std::string& link, const std::string& target);

}  // namespace tolbe_test
