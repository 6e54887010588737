#pragma once
// Conversion between the launcher's narrow strings and wide strings.
//
// Narrow strings (paths, URLs, record fields) are in the host's "ANSI code page": UTF-8 on
// POSIX, the process's ANSI code page (CP_ACP) on Windows. Wide strings are std::wstring. Both
// directions use one and the same encoding, so any valid narrow text survives a round trip
// unchanged.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Narrow (host code page) to wide. An invalid byte sequence becomes U+FFFD (on Windows the code
// page's own stand-in, U+FFFD or '?'); nothing is cut short.
std::wstring NarrowToWide(std::string_view narrow);

// Wide to narrow (host code page). A lone surrogate or out-of-range value becomes U+FFFD; on
// Windows a character the code page lacks becomes '?' (never a look-alike such as "\" for a
// fullwidth solidus), so that a path holding it names no file at all.
std::string WideToNarrow(std::wstring_view wide);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates), on every host.
bool IsValidUtf8(std::string_view bytes);

// UTF-8 text as wide text (UTF-16 on Windows, UTF-32 on POSIX), on every host whatever the ANSI
// code page: every character keeps its own form. nullopt when the bytes are no well-formed
// UTF-8 (see IsValidUtf8); nothing is replaced.
std::optional<std::wstring> Utf8ToWide(std::string_view utf8);

// Wide text as UTF-8, on every host whatever the ANSI code page. A lone surrogate or an
// out-of-range value becomes U+FFFD.
std::string WideToUtf8(std::wstring_view wide);

// True when the bytes are valid text in the narrow encoding (the ANSI code page; UTF-8 on
// POSIX): every byte sequence stands for a character, so the text survives a round trip through
// wide strings unchanged.
bool IsValidNarrowText(std::string_view bytes);

// GBK text (code page 936, what Windows in Chinese writes as its ANSI code page) as wide text:
// iconv on POSIX, MultiByteToWideChar(936) with invalid characters refused on Windows. nullopt
// when the bytes are no GBK text (a byte sequence that stands for no character, or one cut short
// at the end); nothing is replaced or skipped.
std::optional<std::wstring> GbkToWide(std::string_view gbk);

// True when `text` begins with `prefix`, ASCII letters compared without regard to case, as
// Windows compares drive letters, URL schemes and command words.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// True when both texts are equal, ASCII letters compared without regard to case, as Windows
// compares file names.
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace platform
