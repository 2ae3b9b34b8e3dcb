// The tray icon's tip text cut, walking the text as GBK so that no character is split.
#include "shell/tray_tip.h"

namespace trigora {
namespace {

// 0x80 and 0xFF are single bytes in code page 936; everything from 0x81 to 0xFE leads a pair.
bool IsGbkLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

} // namespace

std::string CutTrayTip(std::string_view gbk) {
    if (gbk.size() <= kTrayTipMaxBytes) {
        return std::string(gbk);
    }
    std::size_t end = 0;
    while (end < kTrayTipMaxBytes) {
        const std::size_t width = IsGbkLeadByte(static_cast<unsigned char>(gbk[end])) ? 2 : 1;
        if (end + width > kTrayTipMaxBytes) {
            break;
        }
        end += width;
    }
    return std::string(gbk.substr(0, end));
}

} // namespace trigora
