#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[i]; advances i past it. Returns kReplacement (and advances
// by one byte) for a malformed sequence.
char32_t DecodeUtf8(std::string_view text, size_t& i) {
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
        return kReplacement;
    }
    if (i + length > text.size()) {
        ++i;
        return kReplacement;
    }
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++i;
        return kReplacement;
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

struct IconvCloser {
    void operator()(iconv_t converter) const { ::iconv_close(converter); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

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

}  // namespace

std::wstring NarrowToWide(std::string_view narrow) {
    std::wstring wide;
    wide.reserve(narrow.size());
    for (size_t i = 0; i < narrow.size();) {
        AppendWide(wide, DecodeUtf8(narrow, i));
    }
    return wide;
}

std::string WideToNarrow(std::wstring_view wide) {
    std::string narrow;
    narrow.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(wide[i]));
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
            const char32_t low = static_cast<char32_t>(wide[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            c = kReplacement;
        }
        AppendUtf8(narrow, c);
    }
    return narrow;
}

bool IsValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const size_t start = i;
        if (DecodeUtf8(bytes, i) == kReplacement) {
            // A literal U+FFFD (EF BF BD) is valid; a malformed sequence advanced by one byte.
            if (i - start != 3) {
                return false;
            }
        }
    }
    return true;
}

bool IsValidNarrowText(std::string_view bytes) {
    return IsValidUtf8(bytes);
}

std::optional<std::wstring> GbkToWide(std::string_view gbk) {
    const iconv_t opened = ::iconv_open("UTF-8", "CP936");
    if (opened == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;  // the host has no GBK table
    }
    const IconvHandle converter(opened);
    // No character's UTF-8 form is longer than three bytes for each of its GBK bytes.
    std::string utf8(gbk.size() * 3 + 1, '\0');
    char* in = const_cast<char*>(gbk.data());
    size_t inLeft = gbk.size();
    char* out = utf8.data();
    size_t outLeft = utf8.size();
    // Without //IGNORE or //TRANSLIT, iconv stops at the first byte sequence that is no GBK
    // character (EILSEQ) or that ends cut short (EINVAL).
    if (::iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1) ||
        inLeft != 0) {
        return std::nullopt;
    }
    utf8.resize(utf8.size() - outLeft);
    return NarrowToWide(utf8);
}

}  // namespace platform
