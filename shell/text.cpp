// Conversions between the program's GBK texts and the UTF-16 of the wide Windows functions.
#include "shell/text.h"

#include <windows.h>

namespace trigora {

namespace {
constexpr UINT kGbk = 936;
}

std::wstring Wide(std::string_view gbk) {
    if (gbk.empty()) {
        return {};
    }
    int n = MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(kGbk, 0, gbk.data(), static_cast<int>(gbk.size()), out.data(), n);
    return out;
}

std::string Gbk(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    int n = WideCharToMultiByte(kGbk, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(kGbk, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace trigora
