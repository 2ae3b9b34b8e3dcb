// The 29 generated skin files: catalogue sizes, names, and our decoder against liblzma on each.
#include "host_lzma.h"
#include "skin_reader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace trigora::skin {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Entry {
    const char* name; // GBK, as the catalogue shows it
    std::uint32_t stored;
    std::uint32_t expanded;
};

const Entry kCatalogue[29] = {
    {"MSN", 15574, 277244},
    {"QQ2008", 9533, 144932},
    {"QQ2009_宽_底边", 19786, 334484},
    {"QQ2009_窄_底边", 19497, 323060},
    {"QQ影音", 18930, 457868},
    {"炫绿", 12564, 324980},
    {"积木", 41098, 230784},
    {"Adamant", 24409, 196172},
    {"Aero", 30738, 297840},
    {"Aero粉红", 39378, 368932},
    {"华硕Asus", 8321, 198740},
    {"黑框银底", 13192, 175192},
    {"中国红", 26370, 275540},
    {"Compact", 23603, 280868},
    {"Darkroyale", 20863, 280868},
    {"Elegance", 11676, 483428},
    {"Enjoy", 17997, 203388},
    {"银白", 37461, 1028620},
    {"Insomnia", 25715, 380060},
    {"Office2007", 12105, 310940},
    {"苹果Pixos", 29447, 328060},
    {"QQ2009", 20552, 247940},
    {"QQ游戏", 15562, 181412},
    {"Royale", 20738, 263444},
    {"Storm", 18765, 194716},
    {"Vista", 15733, 239620},
    {"Xenes", 44110, 338828},
    {"Xmp", 20275, 249044},
    {"Homestead", 30958, 283604},
};

Bytes Load(int index) {
    char leaf[24];
    std::snprintf(leaf, sizeof leaf, "/%02d.she", index);
    std::ifstream in(std::string(TRIGORA_SKIN_DIR) + leaf, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class StoredSkins : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        for (int i = 0; i < 29; ++i) {
            files_[i] = Load(i);
        }
    }
    static Bytes files_[29];
};
Bytes StoredSkins::files_[29];

TEST_F(StoredSkins, HaveTheCatalogueSizesAndHeader) {
    std::size_t total = 0;
    for (int i = 0; i < 29; ++i) {
        SCOPED_TRACE(i);
        const Bytes& f = files_[i];
        ASSERT_EQ(f.size(), kCatalogue[i].stored);
        total += f.size();
        const Bytes header = SkinFileHeader(kCatalogue[i].expanded);
        ASSERT_TRUE(std::equal(header.begin(), header.end(), f.begin()));
        EXPECT_EQ(std::string(f.begin(), f.begin() + 4), ".SHE");
    }
    EXPECT_EQ(total, 644950u);
}

TEST_F(StoredSkins, DecodeAlikeWithOursAndLiblzmaAndReadAsNamed) {
    for (int i = 0; i < 29; ++i) {
        SCOPED_TRACE(kCatalogue[i].name);
        const Bytes& f = files_[i];
        const ExpandResult ours = ExpandSkinFile(f);
        ASSERT_TRUE(ours.error.empty()) << ours.error;
        ASSERT_EQ(ours.content.size(), kCatalogue[i].expanded);
        const auto theirs =
            hostlzma::Decode(std::span(f).subspan(kSkinFileHeaderSize), kCatalogue[i].expanded);
        ASSERT_TRUE(theirs.has_value());
        EXPECT_TRUE(ours.content == *theirs);
        // The stream fills the file but for a little padding.
        EXPECT_LE(f.size() - kSkinFileHeaderSize - ours.streamBytes, 64u);

        const SkinResult r = ReadSkinFile(f);
        ASSERT_TRUE(r.skin.has_value()) << r.error;
        EXPECT_EQ(r.skin->name, kCatalogue[i].name);
    }
}

TEST_F(StoredSkins, AreAllDifferentLooks) {
    std::vector<Skin> skins;
    for (const Bytes& f : files_) {
        SkinResult r = ReadSkinFile(f);
        ASSERT_TRUE(r.skin.has_value()) << r.error;
        r.skin->name.clear();
        skins.push_back(std::move(*r.skin));
    }
    EXPECT_EQ(kCatalogue[13].expanded, kCatalogue[14].expanded);
    EXPECT_NE(files_[13], files_[14]);
    for (std::size_t a = 0; a < skins.size(); ++a) {
        for (std::size_t b = a + 1; b < skins.size(); ++b) {
            EXPECT_FALSE(skins[a].captionActive == skins[b].captionActive && skins[a].face == skins[b].face)
                << a << " and " << b << " look the same";
        }
    }
}

} // namespace
} // namespace trigora::skin
