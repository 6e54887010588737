#pragma once
// Shell links: on Windows a .lnk file written through the shell link object (IShellLinkW and
// IPersistFile), after which the shell is told of it (SHChangeNotify); its paths are host paths.
// On POSIX a link is a freedesktop desktop entry: a link saved as "Tolbe.lnk" is written as
// "Tolbe.desktop" in the same folder.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// What a link starts; every path in Windows form.
struct ShellLink {
    std::wstring path;                             // the program the link starts
    std::optional<std::wstring> workingDirectory;  // none: the link sets no working directory
    std::wstring iconPath;                         // the file that holds the link's icon
    int iconIndex = 0;
    // The same icon as a picture file, for desktops that draw only pictures (a POSIX desktop
    // entry names it instead of iconPath; Windows draws iconPath's icon); empty: there is none.
    std::wstring iconPicture;
};

// Saves the link at linkPath (Windows form, "...\Tolbe.lnk"), replacing any link there. On POSIX
// the entry is Type=Application, Name = the link's file name without ".lnk", Exec = the quoted
// host path of the program, Path = the host working directory, Icon = the host path of the icon
// picture (of the icon file when there is no picture), and it is marked executable so that
// desktops trust it. It is written whole or not at all. False when a path maps to no host path
// or the file cannot be written; any earlier link is then kept.
bool SaveShellLink(const ShellLink& link, std::wstring_view linkPath);

// Deletes the link file that SaveShellLink writes for linkPath. False when there is none or it
// cannot be deleted.
bool DeleteShellLink(std::wstring_view linkPath);

}  // namespace platform
