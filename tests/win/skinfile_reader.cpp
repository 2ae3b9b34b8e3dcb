// The skin-file core as the 32-bit program runs it: every stored skin reads under Wine, and each
// content's CRC-32 vouches that our decoder produced exactly the generator's bytes.
#include "skin_hsv.h"
#include "skin_reader.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Test sources are UTF-8; the skins carry GBK names, compared after Windows converts them.
const wchar_t* const kNames[29] = {
    L"MSN",       L"QQ2008",   L"QQ2009_宽_底边", L"QQ2009_窄_底边",
    L"QQ影音",    L"炫绿",     L"积木",           L"Adamant",
    L"Aero",      L"Aero粉红", L"华硕Asus",       L"黑框银底",
    L"中国红",    L"Compact",  L"Darkroyale",     L"Elegance",
    L"Enjoy",     L"银白",     L"Insomnia",       L"Office2007",
    L"苹果Pixos", L"QQ2009",   L"QQ游戏",         L"Royale",
    L"Storm",     L"Vista",    L"Xenes",          L"Xmp",
    L"Homestead",
};

std::wstring FromGbk(const std::string& gbk) {
    std::wstring w(gbk.size(), L'\0');
    const int n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk.data(), static_cast<int>(gbk.size()),
                                      w.data(), static_cast<int>(w.size()));
    w.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return w;
}

Bytes Load(int index) {
    char leaf[24];
    std::snprintf(leaf, sizeof leaf, "/%02d.she", index);
    std::ifstream in(std::string(TRIGORA_SKIN_DIR) + leaf, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(SkinFileReader, ReadsEveryStoredSkin) {
    for (int i = 0; i < 29; ++i) {
        SCOPED_TRACE(i);
        const Bytes f = Load(i);
        ASSERT_GT(f.size(), trigora::skin::kSkinFileHeaderSize);
        const trigora::skin::SkinResult r = trigora::skin::ReadSkinFile(f);
        ASSERT_TRUE(r.skin.has_value()) << r.error;
        EXPECT_EQ(FromGbk(r.skin->name), kNames[i]);
        EXPECT_TRUE(trigora::skin::AdjustSkinHsv(*r.skin, 0, 0, 0) == *r.skin);
        // Cut inside the stream: refused, not crashed.
        const Bytes cut(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(f.size() / 2));
        EXPECT_FALSE(trigora::skin::ReadSkinFile(cut).skin.has_value());
    }
}

} // namespace
