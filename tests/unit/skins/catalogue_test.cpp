// The catalogue against the generated stored files: one entry per file, in order, with its sizes.
#include "skins/catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace trigora::skins {
namespace {

std::vector<unsigned char> StoredFile(int index) {
    char leaf[16];
    std::snprintf(leaf, sizeof leaf, "/%02d.she", index);
    std::ifstream in(std::string(TRIGORA_SKIN_DIR) + leaf, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t Le32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// The generator builds its files from the skin sources; the catalogue is written down apart from
// it. Each stored file must match the entry at its index, or the list would show one skin and
// attach another.
TEST(Catalogue, EveryEntryMatchesTheStoredFileAtItsIndex) {
    std::uint64_t total = 0;
    for (int i = 0; i < kNoSkin; ++i) {
        SCOPED_TRACE(kCatalogue[i].name);
        std::vector<unsigned char> file = StoredFile(i);
        ASSERT_EQ(file.size(), kCatalogue[i].storedBytes);
        ASSERT_GE(file.size(), 15u);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), ".SHE");
        EXPECT_EQ(Le32(file, 6), kCatalogue[i].expandedBytes);
        total += file.size();
    }
    EXPECT_EQ(total, 644950u);
}

TEST(Catalogue, NamesAreDistinctAndOnlyTheLastHasNoFile) {
    std::set<std::string> names;
    for (int i = 0; i < kCatalogueSize; ++i) {
        names.insert(kCatalogue[i].name);
        EXPECT_EQ(HasStoredFile(i), kCatalogue[i].storedBytes != 0) << i;
    }
    EXPECT_EQ(names.size(), 30u);
    // GBK bytes, as the list shows them: 不使用皮肤.
    EXPECT_EQ(std::string(kCatalogue[kNoSkin].name), "\xB2\xBB\xCA\xB9\xD3\xC3\xC6\xA4\xB7\xF4");
    EXPECT_EQ(std::string(kCatalogue[25].name), "Vista");
    EXPECT_FALSE(HasStoredFile(-1));
    EXPECT_FALSE(HasStoredFile(30));
}

} // namespace
} // namespace trigora::skins
