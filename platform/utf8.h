#pragma once
// The UTF-8 codec the platform layer shares: narrow text on POSIX, and on Windows the form in
// which folder listings hand out the host's own (UTF-16) entry names.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes one UTF-8 sequence at text[i] and advances i past it. A malformed sequence gives
// kReplacementCharacter and advances by one byte. Surrogate code points (U+D800 to U+DFFF) are
// malformed unless `allowSurrogates`: then their three-byte forms decode as themselves, which
// keeps a UTF-16 name holding a lone surrogate reachable (the generalised form, WTF-8).
char32_t DecodeUtf8(std::string_view text, size_t& i, bool allowSurrogates = false);

// Appends the UTF-8 form of the code point (a surrogate gets its three-byte form).
void AppendUtf8(std::string& out, char32_t c);

// Appends the code point to wide text: two UTF-16 units where wchar_t has 16 bits (Windows) and
// the code point lies beyond U+FFFF, else one unit.
void AppendWide(std::wstring& out, char32_t c);

// Utf8ToWide (text.h), where the three-byte forms of surrogates stand for themselves when
// `allowSurrogates` (WTF-8).
std::optional<std::wstring> Utf8ToWide(std::string_view text, bool allowSurrogates);

// WideToUtf8 (text.h): a surrogate pair becomes its code point; a lone surrogate keeps its own
// three-byte form when `keepLoneSurrogates` (WTF-8), else becomes kReplacementCharacter.
std::string WideToUtf8(std::wstring_view wide, bool keepLoneSurrogates);

}  // namespace platform
