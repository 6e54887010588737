#pragma once
// What an entry's name in the archive becomes, and which names may be written below the client
// directory.

#include <optional>
#include <string>
#include <string_view>

// General-purpose bit 11 of a zip entry: its name (and comment) are UTF-8.
inline constexpr unsigned long kUtf8NameFlag = 1ul << 11;

// The entry's name as UTF-8 text, from the bytes the archive stores and whether the entry
// carries kUtf8NameFlag:
// - flag set: the bytes must be UTF-8; nullopt otherwise (a damaged archive);
// - flag clear, the bytes are UTF-8: kept as they are (many zip tools on Linux and macOS write
//   UTF-8 names without the flag);
// - flag clear, any other bytes: read as GBK (code page 936), the ANSI code page of Windows in
//   Chinese, where zip tools store names in it without the flag; nullopt when they are no GBK
//   text either, so that no name is ever written that is not text.
// The text still has to pass EntryNameStaysInside: decoding comes first, since a GBK character's
// second byte can be 0x5C, which is "\" only when the bytes are misread.
std::optional<std::string> EntryNameAsText(std::string_view stored, bool utf8Flag);

// True when the entry name, joined to the client directory, names a place inside it. False for a
// name that could reach outside or be read as something else than a relative path: one with a
// ".." component, one that starts with "/" or "\" (a rooted path), one holding ":" (a drive
// letter such as "C:" or, on Windows, a stream of another file), and one holding a control
// character (a NUL byte would cut the path short; Windows allows none of them in a name, and
// a line break in a name misleads whoever reads a list of names). Both "/" and "\" separate
// components. `name` is UTF-8 text.
bool EntryNameStaysInside(std::string_view name);
