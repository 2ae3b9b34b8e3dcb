// Tests of ICO reading: the tray's entry search rule on hand-made files, and hostile bytes.
#include "shell/icon_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

namespace trigora {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct FixtureEntry {
    int width;              // directory width byte and bitmap header width
    std::uint8_t colours;   // directory colour count byte
    std::uint16_t bitCount; // directory bit count
};

void PutLe16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(Bytes& b, std::size_t at, std::uint32_t v) {
    PutLe16(b, at, v & 0xFFFF);
    PutLe16(b, at + 2, v >> 16);
}

constexpr std::size_t kImageBytes = 48; // a bitmap header and a little pixel data

// An ICO file with one image per entry; entry i's image data start at ImageOffset(count, i), its
// bitmap header says width x (2 * width), and its pixel bytes are filled with i so images differ.
Bytes MakeIco(const std::vector<FixtureEntry>& entries) {
    const std::size_t count = entries.size();
    Bytes b(6 + 16 * count + kImageBytes * count, 0);
    PutLe16(b, 2, 1);
    PutLe16(b, 4, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t dir = 6 + 16 * i;
        const std::size_t image = 6 + 16 * count + kImageBytes * i;
        b[dir] = static_cast<std::uint8_t>(entries[i].width);
        b[dir + 1] = static_cast<std::uint8_t>(entries[i].width);
        b[dir + 2] = entries[i].colours;
        PutLe16(b, dir + 4, 1);
        PutLe16(b, dir + 6, entries[i].bitCount);
        PutLe32(b, dir + 8, kImageBytes);
        PutLe32(b, dir + 12, static_cast<std::uint32_t>(image));
        PutLe32(b, image, 40);
        PutLe32(b, image + 4, static_cast<std::uint32_t>(entries[i].width));
        PutLe32(b, image + 8, static_cast<std::uint32_t>(2 * entries[i].width));
        PutLe16(b, image + 12, 1);
        PutLe16(b, image + 14, entries[i].bitCount);
        for (std::size_t k = image + 40; k < image + kImageBytes; ++k) {
            b[k] = static_cast<std::uint8_t>(i);
        }
    }
    return b;
}

std::size_t ImageOffset(std::size_t count, std::size_t index) {
    return 6 + 16 * count + kImageBytes * index;
}

// Index of the entry whose image a search returned, checking that the span is exactly that image.
int ChosenIndex(const Bytes& file, std::size_t count, const IconImage& image) {
    for (std::size_t i = 0; i < count; ++i) {
        if (image.bytes.data() == file.data() + ImageOffset(count, i)) {
            EXPECT_EQ(image.bytes.size(), kImageBytes);
            return static_cast<int>(i);
        }
    }
    return -1;
}

struct SearchCase {
    const char* name;
    std::vector<FixtureEntry> entries;
    int width;
    int expected;
};

void PrintTo(const SearchCase& c, std::ostream* os) {
    *os << c.name;
}

class IconSearch : public testing::TestWithParam<SearchCase> {};

TEST_P(IconSearch, ChoosesTheEntryOfTheRule) {
    const SearchCase& c = GetParam();
    const Bytes file = MakeIco(c.entries);
    const std::optional<IconImage> image = FindIconImage(file, c.width);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(ChosenIndex(file, c.entries.size(), *image), c.expected);
    const int side = c.entries[static_cast<std::size_t>(c.expected)].width;
    EXPECT_EQ(image->width, side);
    EXPECT_EQ(image->height, side); // half the bitmap header's height
}

INSTANTIATE_TEST_SUITE_P(
    Rule, IconSearch,
    testing::Values(SearchCase{"OnlyEntryIsTakenForWidth16", {{32, 0, 32}}, 16, 0},
                    SearchCase{"OnlyEntryIsTakenForWidth32", {{32, 0, 32}}, 32, 0},
                    SearchCase{
                        "Width16EntryWinsOverEarlierOther", {{32, 0, 32}, {16, 0, 32}, {48, 0, 32}}, 16, 1},
                    SearchCase{"FirstOfTwoMatchingEntries", {{16, 16, 4}, {16, 0, 32}}, 16, 0},
                    SearchCase{"TwoColourEntrySkipped", {{16, 2, 1}, {16, 16, 4}, {32, 0, 32}}, 16, 1},
                    SearchCase{"FifteenColoursTooFew", {{16, 15, 4}, {16, 255, 8}, {32, 0, 32}}, 16, 1},
                    // A 0 colour count means 256 or more: the usual 32-bit tray image is chosen.
                    SearchCase{"ZeroColourCountCounts", {{32, 0, 32}, {16, 0, 32}, {48, 0, 32}}, 16, 1},
                    SearchCase{"ZeroCountWithUnknownDepthCounts", {{16, 0, 0}, {32, 0, 32}}, 16, 0},
                    // ...but a 1-bit entry with a 0 count has two colours, whatever the count byte omits.
                    SearchCase{"ZeroCountOneBitSkipped", {{16, 0, 1}, {16, 0, 32}, {32, 0, 32}}, 16, 1},
                    SearchCase{"LastEntryWhenNoneMatches", {{16, 2, 1}, {24, 0, 32}, {48, 0, 32}}, 16, 2},
                    SearchCase{"LastEvenIfItIsTheFewColourOne", {{48, 0, 32}, {16, 8, 3}}, 16, 1},
                    SearchCase{"SecondTryFindsWidth32", {{16, 0, 32}, {32, 0, 32}, {48, 0, 32}}, 32, 1},
                    SearchCase{"SecondTryLastWhenNo32", {{16, 0, 32}, {48, 0, 32}}, 32, 1}),
    [](const testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

TEST(IconSearch, StoredIconShapeGivesOne32By32Candidate) {
    const Bytes file = MakeIco({{32, 0, 32}});
    const std::vector<IconImage> candidates = TrayIconCandidates(file);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].width, 32);
    EXPECT_EQ(candidates[0].height, 32);
}

TEST(IconSearch, CandidatesAreWidth16ThenWidth32) {
    const Bytes file = MakeIco({{48, 0, 32}, {32, 0, 32}, {16, 0, 32}});
    const std::vector<IconImage> candidates = TrayIconCandidates(file);
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_EQ(ChosenIndex(file, 3, candidates[0]), 2);
    EXPECT_EQ(ChosenIndex(file, 3, candidates[1]), 1);
}

TEST(IconSearch, BrokenWidth16ImageLeavesTheWidth32Try) {
    Bytes file = MakeIco({{16, 0, 32}, {32, 0, 32}});
    PutLe32(file, ImageOffset(2, 0), 12); // an old core header: no icon from it
    const std::vector<IconImage> candidates = TrayIconCandidates(file);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(ChosenIndex(file, 2, candidates[0]), 1);
}

TEST(IconSearch, PngEntryTakesItsSizeFromIhdr) {
    Bytes file = MakeIco({{0, 0, 32}}); // width byte 0: a 256 x 256 image
    const std::size_t at = ImageOffset(1, 0);
    const std::uint8_t head[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                 'I',  'H', 'D', 'R', 0,    0,    1,    0,    0, 0, 1, 0};
    std::copy(std::begin(head), std::end(head), file.begin() + static_cast<std::ptrdiff_t>(at));
    const std::optional<IconImage> image = FindIconImage(file, 16);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width, 256);
    EXPECT_EQ(image->height, 256);
}

TEST(IconFile, EmptyBytesGiveNoIcon) {
    EXPECT_TRUE(ReadIcoDirectory({}).empty());
    EXPECT_FALSE(FindIconImage({}, 16).has_value());
    EXPECT_TRUE(TrayIconCandidates({}).empty());
}

struct BadCase {
    const char* name;
    void (*spoil)(Bytes&); // applied to a good two-entry file; the width-16 search must then fail
};

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.name;
}

class MalformedIco : public testing::TestWithParam<BadCase> {};

TEST_P(MalformedIco, GivesNoIconFromTheSpoiledEntry) {
    Bytes file = MakeIco({{16, 0, 32}, {16, 0, 32}});
    const Bytes good = file;
    GetParam().spoil(file);
    EXPECT_FALSE(FindIconImage(file, 16).has_value());
    EXPECT_TRUE(FindIconImage(good, 16).has_value()); // the spoiling, not the fixture, is at fault
}

constexpr std::size_t kFirst = 6;           // directory entry 0
constexpr std::size_t kFirstImage = 6 + 32; // its image data

INSTANTIATE_TEST_SUITE_P(
    Bytes, MalformedIco,
    testing::Values(BadCase{"FiveBytes", [](Bytes& b) { b.resize(5); }},
                    BadCase{"ReservedNotZero", [](Bytes& b) { b[0] = 1; }},
                    BadCase{"CursorFile", [](Bytes& b) { b[2] = 2; }},
                    BadCase{"NoEntries", [](Bytes& b) { b[4] = 0; }},
                    BadCase{"DirectoryCutShort", [](Bytes& b) { b.resize(6 + 16 + 15); }},
                    BadCase{"CountBeyondTheBytes",
                            [](Bytes& b) {
                                b[4] = 0xFF;
                                b[5] = 0xFF;
                            }},
                    BadCase{"OffsetPastTheEnd",
                            [](Bytes& b) { PutLe32(b, kFirst + 12, static_cast<std::uint32_t>(b.size())); }},
                    BadCase{"SizePastTheEnd",
                            [](Bytes& b) { PutLe32(b, kFirst + 8, static_cast<std::uint32_t>(b.size())); }},
                    BadCase{"OffsetPlusSizeWrapsAround",
                            [](Bytes& b) {
                                PutLe32(b, kFirst + 12, 0xFFFFFFF0u);
                                PutLe32(b, kFirst + 8, 0x20);
                            }},
                    BadCase{"SizeZero", [](Bytes& b) { PutLe32(b, kFirst + 8, 0); }},
                    BadCase{"ImageShorterThanItsHeader", [](Bytes& b) { PutLe32(b, kFirst + 8, 39); }},
                    BadCase{"HeaderSizeTooSmall", [](Bytes& b) { PutLe32(b, kFirstImage, 12); }},
                    BadCase{"HeaderSizeBeyondTheImage", [](Bytes& b) { PutLe32(b, kFirstImage, 4096); }},
                    BadCase{"WidthZero", [](Bytes& b) { PutLe32(b, kFirstImage + 4, 0); }},
                    BadCase{"WidthNegative", [](Bytes& b) { PutLe32(b, kFirstImage + 4, 0xFFFFFFF0u); }},
                    BadCase{"WidthHuge", [](Bytes& b) { PutLe32(b, kFirstImage + 4, 0x7FFFFFFF); }},
                    BadCase{"HeightOneHasNoHalf", [](Bytes& b) { PutLe32(b, kFirstImage + 8, 1); }},
                    BadCase{"HeightNegative", [](Bytes& b) { PutLe32(b, kFirstImage + 8, 0x80000000u); }},
                    // A PNG signature over the bitmap header: the IHDR size bytes read 0.
                    BadCase{"PngWithoutSize",
                            [](Bytes& b) {
                                const std::uint8_t sig[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
                                std::copy(std::begin(sig), std::end(sig), b.begin() + kFirstImage);
                            }}),
    [](const testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

bool InsideFile(const Bytes& file, const IconImage& image) {
    const std::uint8_t* begin = file.data();
    const std::uint8_t* end = begin + file.size();
    return image.bytes.data() >= begin && image.bytes.data() + image.bytes.size() <= end;
}

TEST(IconFile, EveryTruncationOfAFileIsRefused) {
    const Bytes full = MakeIco({{16, 0, 32}});
    for (std::size_t n = 0; n < full.size(); ++n) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(FindIconImage(cut, 16).has_value()) << n << " bytes";
    }
    EXPECT_TRUE(FindIconImage(full, 16).has_value());
}

// Random directories and headers over a short file: whatever is returned lies inside the bytes and
// has a size an icon can have. Run under valgrind or a sanitizer this also shows no stray read.
TEST(IconFile, RandomBytesNeverPointOutside) {
    std::mt19937 random(20260101);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        Bytes file = MakeIco({{16, 0, 32}, {32, 0, 32}});
        file.resize(random() % (file.size() + 1));
        const int flips = 1 + static_cast<int>(random() % 6);
        for (int f = 0; f < flips && !file.empty(); ++f) {
            // Most flips land in the directory and headers, where the lengths and offsets are.
            const std::size_t at = random() % std::min<std::size_t>(file.size(), 6 + 32 + 16);
            file[at] = static_cast<std::uint8_t>(random());
        }
        for (const IconImage& image : TrayIconCandidates(file)) {
            ASSERT_TRUE(InsideFile(file, image)) << "round " << round;
            ASSERT_GE(image.width, 1);
            ASSERT_LE(image.width, 256);
            ASSERT_GE(image.height, 1);
            ASSERT_LE(image.height, 256);
            ++accepted;
        }
    }
    EXPECT_GT(accepted, 0); // the rounds did reach the image checks, not only the directory ones
}

} // namespace
} // namespace trigora
