#pragma once
// The UTF-8 codec the platform layer shares: narrow text on POSIX, and on Windows the form in
// which folder listings hand out the host's own (UTF-16) entry names.

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

}  // namespace platform
