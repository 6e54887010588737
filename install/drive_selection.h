#pragma once
// The choice of drive for a new installation: a local fixed disk, never C and never a USB disk,
// with the most free space.

#include <functional>
#include <string>

// Chooses the install drive: the fixed, non-USB drive other than C with the most total free
// space (strictly greater wins; earlier letter on ties; 0 free never chosen). Writes "E:" (two
// wide characters) into `drive`, or leaves it as passed (empty) when none qualifies. Drives are
// taken in the order of the drive list; C is queried like the others before it is passed over,
// and a drive whose free space cannot be read is passed over.
// When `usable` is given, a drive for which it returns false ("E:") is passed over as well: the
// install decision passes over drives where the client directory's name is already taken by
// something that is not an installation.
// When `preferred` is given, the first drive in list order that qualifies (usable included) and
// for which it returns true is chosen, whatever the free space of the others: the install
// decision prefers a drive holding a download cut short by an earlier run.
void SelectInstallDrive(std::wstring& drive,
                        const std::function<bool(const std::wstring&)>& usable = {},
                        const std::function<bool(const std::wstring&)>& preferred = {});

// True when the storage device of the volume `drive` ("E:") reports the USB bus. False in every
// other case, also when the volume cannot be opened or queried.
bool IsUsbVolume(const std::wstring& drive);
