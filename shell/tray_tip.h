// The tray icon's tip text: what of a GBK text fits the notification area's tip field.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trigora {

// The tip field holds 64 bytes; the program uses at most 62 of them for the text.
inline constexpr std::size_t kTrayTipMaxBytes = 62;

// At most the first 62 bytes of `gbk`. When the 62-byte mark falls inside a double-byte character
// (a lead byte 0x81 to 0xFE and the byte after it), the text is cut before that character, so the
// tip never ends in half a character. A text that fits is returned unchanged.
std::string CutTrayTip(std::string_view gbk);

} // namespace trigora
