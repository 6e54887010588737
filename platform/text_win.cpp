// text.h on Windows: narrow strings are in the ANSI code page (CP_ACP), as the stored records
// and the servers write them.

#include <windows.h>

#include "platform/text.h"

namespace platform {
namespace {

constexpr UINT kGbkCodePage = 936;

// MultiByteToWideChar over the whole text; nullopt when `flags` makes it refuse the bytes.
std::optional<std::wstring> ToWide(UINT codePage, DWORD flags, std::string_view narrow) {
    if (narrow.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(narrow.size());
    const int length = ::MultiByteToWideChar(codePage, flags, narrow.data(), size, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (::MultiByteToWideChar(codePage, flags, narrow.data(), size, wide.data(), length) !=
        length) {
        return std::nullopt;
    }
    return wide;
}

// WideCharToMultiByte into the ANSI code page without best-fit mapping: a character the code
// page lacks becomes '?' instead of a look-alike. A best fit could turn a fullwidth solidus
// into "\" or a fullwidth full stop into ".", and so change where a path leads; '?' can be in
// no Windows file name, so such a path names nothing. *lossless tells whether every character
// had its own form.
std::string ToAnsi(std::wstring_view wide, bool* lossless = nullptr) {
    if (lossless != nullptr) {
        *lossless = true;
    }
    if (wide.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    // The UTF-7 and UTF-8 code pages refuse the default-character argument.
    const UINT acp = ::GetACP();
    BOOL* usedDefaultArg = (acp == CP_UTF8 || acp == CP_UTF7) ? nullptr : &usedDefault;
    const DWORD flags = usedDefaultArg != nullptr ? WC_NO_BEST_FIT_CHARS : 0;
    const int length =
        ::WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        if (lossless != nullptr) {
            *lossless = false;
        }
        return std::string();
    }
    std::string narrow(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, flags, wide.data(), size, narrow.data(), length, nullptr,
                          usedDefaultArg);
    if (lossless != nullptr && usedDefault) {
        *lossless = false;
    }
    return narrow;
}

}  // namespace

std::wstring NarrowToWide(std::string_view narrow) {
    // Without MB_ERR_INVALID_CHARS a byte sequence that stands for no character becomes U+FFFD.
    return ToWide(CP_ACP, 0, narrow).value_or(std::wstring());
}

std::string WideToNarrow(std::wstring_view wide) {
    return ToAnsi(wide);
}

bool IsValidNarrowText(std::string_view bytes) {
    const std::optional<std::wstring> wide = ToWide(CP_ACP, MB_ERR_INVALID_CHARS, bytes);
    if (!wide) {
        return false;
    }
    // Some code pages accept bytes that do not come back the same (a lead byte with no second
    // byte, a character with two forms): only text that survives the round trip is valid.
    bool lossless = false;
    return ToAnsi(*wide, &lossless) == bytes && lossless;
}

std::optional<std::wstring> GbkToWide(std::string_view gbk) {
    return ToWide(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk);
}

}  // namespace platform
