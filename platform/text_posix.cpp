#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "platform/utf8.h"

namespace platform {
namespace {

struct IconvCloser {
    void operator()(iconv_t converter) const { ::iconv_close(converter); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

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
    return WideToUtf8(wide);
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
