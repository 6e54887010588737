// The portable half of text.h.

#include "platform/text.h"

#include <cctype>
#include <type_traits>

#include "platform/utf8.h"

namespace platform {

char32_t DecodeUtf8(std::string_view text, size_t& i, bool allowSurrogates) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacementCharacter;
    }
    if (i + length > text.size()) {
        ++i;
        return kReplacementCharacter;
    }
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacementCharacter;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF ||
        (!allowSurrogates && value >= 0xD800 && value <= 0xDFFF)) {
        ++i;
        return kReplacementCharacter;
    }
    i += length;
    return value;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendWide(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(c);
}

std::optional<std::wstring> Utf8ToWide(std::string_view text, bool allowSurrogates) {
    std::wstring wide;
    wide.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        const char32_t c = DecodeUtf8(text, i, allowSurrogates);
        // A literal U+FFFD (EF BF BD) is text; a malformed sequence advanced by one byte.
        if (c == kReplacementCharacter && i - start != 3) {
            return std::nullopt;
        }
        AppendWide(wide, c);
    }
    return wide;
}

std::optional<std::wstring> Utf8ToWide(std::string_view utf8) {
    return Utf8ToWide(utf8, false);
}

std::string WideToUtf8(std::wstring_view wide, bool keepLoneSurrogates) {
    std::string text;
    text.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(wide[i]));
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
            const char32_t low = static_cast<char32_t>(wide[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
        if ((surrogate && !keepLoneSurrogates) || c > 0x10FFFF) {
            c = kReplacementCharacter;
        }
        AppendUtf8(text, c);
    }
    return text;
}

std::string WideToUtf8(std::wstring_view wide) {
    return WideToUtf8(wide, false);
}

bool IsValidUtf8(std::string_view bytes) {
    return Utf8ToWide(bytes, false).has_value();
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

}  // namespace platform
