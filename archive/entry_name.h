#pragma once
// Which entry names of an archive may be written below the client directory.

#include <string_view>

// True when the entry name, joined to the client directory, names a place inside it. False for a
// name that could reach outside or be read as something else than a relative path: one with a
// ".." component, one that starts with "/" or "\" (a rooted path), one holding ":" (a drive
// letter such as "C:" or, on Windows, a stream of another file), and one holding a NUL byte
// (which would cut the path short). Both "/" and "\" separate components.
bool EntryNameStaysInside(std::string_view name);
