// The skin content format and the stored-file reader: round trips and every kind of refusal.
#include "host_lzma.h"
#include "skin_format.h"
#include "skin_parts.h"
#include "skin_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace trigora::skin {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A small skin with every part present and no two parts alike.
Skin MakeTestSkin() {
    Skin s;
    s.name = "\xd2\xf8\xb0\xd7"; // 银白 in GBK
    int n = 0;
    for (const ColourSlot& c : ColourSlots()) {
        c.get(s) = {static_cast<std::uint8_t>(n * 7), static_cast<std::uint8_t>(255 - n), 40};
        ++n;
    }
    for (const ImageSlot& slot : ImageSlots()) {
        Image img = MakeImage(3 + n % 4, 2 + n % 3, {1, 0, 1, 1});
        for (std::size_t i = 0; i < img.pixels.size(); ++i) {
            img.pixels[i] = MakePixel(static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(i), 9,
                                      static_cast<std::uint8_t>(200 + i));
        }
        slot.get(s) = img;
        ++n;
    }
    s.metrics.captionHeight = 30;
    return s;
}

Bytes Serialized(const Skin& s, std::size_t total = 0) {
    auto b = SerializeSkin(s, total);
    EXPECT_TRUE(b.has_value());
    return b.value_or(Bytes{});
}

void FixCrc(Bytes& c) {
    const std::uint32_t crc = Crc32(std::span(c).subspan(kContentHeaderSize));
    std::memcpy(c.data() + 12, &crc, 4); // little-endian host
    const std::uint32_t size = static_cast<std::uint32_t>(c.size());
    std::memcpy(c.data() + 8, &size, 4);
}

// Offset of the first chunk with the tag, walking the chunk list.
std::size_t FindChunk(const Bytes& c, const char* tag, int nth = 0) {
    std::size_t at = kContentHeaderSize;
    while (at + 8 <= c.size()) {
        std::uint32_t len;
        std::memcpy(&len, c.data() + at + 4, 4);
        if (std::memcmp(c.data() + at, tag, 4) == 0 && nth-- == 0) {
            return at;
        }
        at += 8 + len;
    }
    ADD_FAILURE() << "no chunk " << tag;
    return 0;
}

Bytes MakeFile(const Bytes& content, std::size_t padding = 0, std::uint8_t padByte = 0) {
    Bytes f = SkinFileHeader(static_cast<std::uint32_t>(content.size()));
    const Bytes stream = hostlzma::Encode(content);
    f.insert(f.end(), stream.begin(), stream.end());
    f.insert(f.end(), padding, padByte);
    return f;
}

TEST(SkinFormat, RoundTripsWithAndWithoutPadding) {
    const Skin s = MakeTestSkin();
    const Bytes plain = Serialized(s);
    SkinResult r = ParseSkin(plain);
    ASSERT_TRUE(r.skin) << r.error;
    EXPECT_TRUE(*r.skin == s);

    const Bytes filler = {1, 2, 3, 4, 5};
    auto padded = SerializeSkin(s, plain.size() + 1000, filler);
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->size(), plain.size() + 1000);
    r = ParseSkin(*padded);
    ASSERT_TRUE(r.skin) << r.error;
    EXPECT_TRUE(*r.skin == s);
    // Exactly one chunk header's worth of room is enough; less is not.
    EXPECT_TRUE(SerializeSkin(s, plain.size() + 8).has_value());
    EXPECT_TRUE(SerializeSkin(s, plain.size()).has_value());
    for (std::size_t gap : {1, 7}) {
        EXPECT_FALSE(SerializeSkin(s, plain.size() + gap).has_value()) << gap;
    }
    EXPECT_FALSE(SerializeSkin(s, plain.size() - 1).has_value());
    EXPECT_FALSE(SerializeSkin(s, plain.size() + 10, Bytes(5)).has_value());
}

TEST(SkinFormat, RefusesSkinsItCannotStore) {
    Skin s = MakeTestSkin();
    s.menu.checkMark.margins.left = 100;
    EXPECT_FALSE(SerializeSkin(s).has_value());
    s = MakeTestSkin();
    s.slider.channel = MakeImage(kMaxImageSide + 1, 1);
    EXPECT_FALSE(SerializeSkin(s).has_value());
    s = MakeTestSkin();
    s.button.face[2] = Image{};
    EXPECT_FALSE(SerializeSkin(s).has_value());
    s = MakeTestSkin();
    s.metrics.frameWidth = 0;
    EXPECT_FALSE(SerializeSkin(s).has_value());
}

struct Damage {
    const char* what;
    void (*apply)(Bytes&);
    const char* reason; // a piece of the refusal text
};

TEST(SkinFormat, RefusesDamagedContentWithItsReason) {
    const Damage cases[] = {
        {"empty", [](Bytes& c) { c.clear(); }, "shorter than its header"},
        {"wrong magic", [](Bytes& c) { c[0] = 'X'; }, "wrong magic"},
        {"newer version", [](Bytes& c) { c[4] = 2; }, "version 2"},
        {"size field off by one", [](Bytes& c) { c[8] ^= 1; }, "size field"},
        {"damaged byte", [](Bytes& c) { c[c.size() / 2] ^= 0x10; }, "checksum"},
        {"chunk past the end",
         [](Bytes& c) {
             c[FindChunk(c, "COLR") + 6] = 0x7f;
             FixCrc(c);
         },
         "runs past the end"},
        {"truncated chunk header",
         [](Bytes& c) {
             c.insert(c.end(), {'X', 'Y', 'Z'});
             FixCrc(c);
         },
         "truncated chunk header"},
        {"missing image",
         [](Bytes& c) {
             const std::size_t at = FindChunk(c, "IMAG", 3);
             std::uint32_t len;
             std::memcpy(&len, c.data() + at + 4, 4);
             c.erase(c.begin() + static_cast<std::ptrdiff_t>(at),
                     c.begin() + static_cast<std::ptrdiff_t>(at + 8 + len));
             FixCrc(c);
         },
         "is missing"},
        {"missing colour",
         [](Bytes& c) {
             const std::size_t at = FindChunk(c, "COLR");
             c[at + 8] = 0xEE; // first entry's id becomes unknown
             c[at + 9] = 0xEE;
             FixCrc(c);
         },
         "colour caption.active.text is missing"},
        {"duplicate colour",
         [](Bytes& c) {
             const std::size_t at = FindChunk(c, "COLR");
             c[at + 14] = c[at + 8]; // second entry takes the first one's id
             c[at + 15] = c[at + 9];
             FixCrc(c);
         },
         "appears twice"},
        {"metric out of range",
         [](Bytes& c) {
             const std::size_t at = FindChunk(c, "METR");
             c[at + 10] = 200; // caption height
             FixCrc(c);
         },
         "out of range"},
        {"image size disagrees with its pixels",
         [](Bytes& c) {
             c[FindChunk(c, "IMAG") + 10] += 1;
             FixCrc(c);
         },
         "does not match"},
        {"image margins too large",
         [](Bytes& c) {
             c[FindChunk(c, "IMAG") + 14] = 50;
             FixCrc(c);
         },
         "margins"},
        {"image far too wide",
         [](Bytes& c) {
             c[FindChunk(c, "IMAG") + 11] = 0x10; // width 4096 and more
             FixCrc(c);
         },
         "size outside"},
        {"name too long",
         [](Bytes& c) {
             const std::size_t at = FindChunk(c, "NAME");
             c.insert(c.begin() + static_cast<std::ptrdiff_t>(at + 8), 100, 'x');
             c[at + 4] = static_cast<std::uint8_t>(c[at + 4] + 100);
             FixCrc(c);
         },
         "name chunk"},
    };
    const Bytes good = Serialized(MakeTestSkin());
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        Bytes c = good;
        d.apply(c);
        const SkinResult r = ParseSkin(c);
        EXPECT_FALSE(r.skin.has_value());
        EXPECT_NE(r.error.find(d.reason), std::string::npos) << r.error;
    }
}

TEST(SkinFormat, SkipsChunksAndPartsOfLaterVersions) {
    Bytes c = Serialized(MakeTestSkin());
    const Bytes extra = {'X', 'T', 'R', 'A', 3, 0, 0, 0, 1, 2, 3};
    c.insert(c.begin() + static_cast<std::ptrdiff_t>(FindChunk(c, "COLR")), extra.begin(), extra.end());
    // an image number this reader does not know, one pixel
    const Bytes unknownImage = {'I', 'M', 'A', 'G', 20, 0, 0, 0, 0xEE, 0x7E, 1, 0, 1, 0,
                                0,   0,   0,   0,   0,  0, 0, 0, 0,    0,    1, 2, 3, 4};
    c.insert(c.end(), unknownImage.begin(), unknownImage.end());
    FixCrc(c);
    const SkinResult r = ParseSkin(c);
    ASSERT_TRUE(r.skin) << r.error;
    EXPECT_TRUE(*r.skin == MakeTestSkin());
}

TEST(SkinReader, ReadsAFileAndIgnoresItsPadding) {
    const Bytes content = Serialized(MakeTestSkin(), 50000);
    for (std::uint8_t pad : {0x00, 0xFF, 0x5A}) {
        const Bytes f = MakeFile(content, 777, pad);
        const SkinResult r = ReadSkinFile(f);
        ASSERT_TRUE(r.skin) << r.error;
        EXPECT_TRUE(*r.skin == MakeTestSkin());
    }
}

TEST(SkinReader, RefusesBadHeadersWithTheirReason) {
    const Bytes good = MakeFile(Serialized(MakeTestSkin()), 16);
    for (std::size_t n = 0; n < kSkinFileHeaderSize; ++n) {
        const SkinResult r = ReadSkinFile(std::span(good).first(n));
        EXPECT_NE(r.error.find("shorter than its 15-byte header"), std::string::npos) << n << ": " << r.error;
    }
    struct HeaderCase {
        std::size_t at;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    };
    const HeaderCase cases[] = {
        {0, {'.', 's'}, "wrong magic"},
        {4, {1}, "header version"},
        {5, {2}, "header version"},
        {10, {0x5e}, "properties byte"},
        {11, {0, 0, 0x40, 0}, "dictionary"},
        {6, {0, 0, 0, 0}, "expanded size 0"},
        {6, {0xFF, 0xFF, 0xFF, 0xFF}, "expanded size 4294967295"},
        {6, {1, 0, 0x80, 0}, "expanded size 8388609"},
        {6, {0x10, 0, 0, 0}, "skin content"}, // decodes a prefix, which is no skin
    };
    for (const HeaderCase& c : cases) {
        Bytes f = good;
        std::copy(c.bytes.begin(), c.bytes.end(), f.begin() + static_cast<std::ptrdiff_t>(c.at));
        const SkinResult r = ReadSkinFile(f);
        EXPECT_FALSE(r.skin.has_value());
        EXPECT_NE(r.error.find(c.reason), std::string::npos) << c.reason << " / " << r.error;
    }
}

TEST(SkinReader, RefusesTruncatedAndDamagedStreams) {
    const Skin skin = MakeTestSkin();
    const Bytes good = MakeFile(Serialized(skin, 20000), 100, 0xC3);
    const ExpandResult e = ExpandSkinFile(good);
    ASSERT_TRUE(e.error.empty()) << e.error;
    const std::size_t streamEnd = kSkinFileHeaderSize + e.streamBytes;
    for (std::size_t n = kSkinFileHeaderSize; n < streamEnd; n += 3) {
        const SkinResult r = ReadSkinFile(std::span(good).first(n));
        ASSERT_FALSE(r.skin.has_value()) << n;
        EXPECT_NE(r.error.find("LZMA stream ends"), std::string::npos) << n << ": " << r.error;
    }
    // Every single bit flip: refused with a reason, or (in padding, or without effect on the
    // decoded bytes) read as the very same skin.
    std::mt19937 rng(5);
    int refused = 0;
    for (std::size_t at = kSkinFileHeaderSize; at < good.size(); ++at) {
        Bytes f = good;
        f[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        const SkinResult r = ReadSkinFile(f);
        if (r.skin) {
            EXPECT_TRUE(*r.skin == skin) << "flip at " << at;
        } else {
            EXPECT_FALSE(r.error.empty());
            ++refused;
        }
        if (at >= streamEnd) {
            EXPECT_TRUE(r.skin.has_value()) << "padding flip at " << at << ": " << r.error;
        }
    }
    EXPECT_GT(refused, static_cast<int>(e.streamBytes) * 9 / 10);
}

} // namespace
} // namespace trigora::skin
