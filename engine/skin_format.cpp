// Writing and reading skin content: a fixed header, then tagged chunks in any order.
#include "skin_format.h"

#include "skin_parts.h"

#include <array>
#include <cstring>
#include <set>

namespace trigora::skin {
namespace {

constexpr char kMagic[4] = {'T', 'G', 'S', 'K'};
constexpr std::size_t kImageHeaderSize = 16;

constexpr std::uint32_t Tag(const char (&s)[5]) {
    return std::uint32_t(std::uint8_t(s[0])) | (std::uint32_t(std::uint8_t(s[1])) << 8) |
           (std::uint32_t(std::uint8_t(s[2])) << 16) | (std::uint32_t(std::uint8_t(s[3])) << 24);
}
constexpr std::uint32_t kTagName = Tag("NAME");
constexpr std::uint32_t kTagMetrics = Tag("METR");
constexpr std::uint32_t kTagColours = Tag("COLR");
constexpr std::uint32_t kTagImage = Tag("IMAG");
constexpr std::uint32_t kTagPadding = Tag("PADD");

class Writer {
  public:
    std::vector<std::uint8_t> bytes;
    void U8(std::uint8_t v) { bytes.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void Put32At(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    }
    // Starts a chunk and returns where its length goes.
    std::size_t Begin(std::uint32_t tag) {
        U32(tag);
        U32(0);
        return bytes.size() - 4;
    }
    void End(std::size_t lengthAt) {
        Put32At(lengthAt, static_cast<std::uint32_t>(bytes.size() - lengthAt - 4));
    }
};

// Every read is checked against the end; a failed read leaves ok false and yields zero.
class Reader {
  public:
    Reader(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    bool ok = true;
    std::size_t Left() const { return n_ - at_; }
    std::uint32_t Get(int bytes) {
        if (!ok || Left() < static_cast<std::size_t>(bytes)) {
            ok = false;
            return 0;
        }
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            v |= std::uint32_t{p_[at_ + i]} << (8 * i);
        }
        at_ += bytes;
        return v;
    }
    std::uint8_t U8() { return static_cast<std::uint8_t>(Get(1)); }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Get(2)); }
    std::uint32_t U32() { return Get(4); }
    const std::uint8_t* Here() const { return p_ + at_; }
    void Skip(std::size_t n) {
        if (n > Left()) {
            ok = false;
            at_ = n_;
        } else {
            at_ += n;
        }
    }

  private:
    const std::uint8_t* p_;
    std::size_t n_;
    std::size_t at_ = 0;
};

std::string TagText(std::uint32_t tag) {
    std::string s;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(tag >> (8 * i));
        s += (c >= 0x20 && c < 0x7f) ? c : '?';
    }
    return s;
}

bool ImageFits(const Image& img) {
    return img.width >= 1 && img.height >= 1 && img.width <= kMaxImageSide && img.height <= kMaxImageSide &&
           img.Valid();
}

// Skin is only read through the part tables, which hand out references to a mutable skin.
Skin& Mutable(const Skin& s) {
    return const_cast<Skin&>(s);
}

std::string ParseImage(Reader& r, std::uint32_t length, Skin& skin, std::set<std::uint16_t>& seen) {
    if (length < kImageHeaderSize) {
        return "image chunk shorter than its header";
    }
    const std::uint16_t id = r.U16();
    Image img;
    img.width = r.U16();
    img.height = r.U16();
    img.margins.left = r.U16();
    img.margins.top = r.U16();
    img.margins.right = r.U16();
    img.margins.bottom = r.U16();
    const std::uint16_t encoding = r.U16();
    const ImageSlot* slot = nullptr;
    for (const ImageSlot& s : ImageSlots()) {
        if (s.id == id) {
            slot = &s;
        }
    }
    if (slot == nullptr || encoding != 0) {
        // An image this reader does not know, or stored in a way it does not know: skip it.
        return {};
    }
    const std::string name(slot->key);
    if (img.width < 1 || img.height < 1 || img.width > kMaxImageSide || img.height > kMaxImageSide) {
        return "image " + name + " has a size outside 1.." + std::to_string(kMaxImageSide);
    }
    if (std::uint64_t{img.width} * img.height * 4 != length - kImageHeaderSize) {
        return "image " + name + " pixel data does not match its size";
    }
    if (img.margins.left + img.margins.right > img.width ||
        img.margins.top + img.margins.bottom > img.height) {
        return "image " + name + " has margins larger than the image";
    }
    if (!seen.insert(id).second) {
        return "image " + name + " appears twice";
    }
    img.pixels.resize(std::size_t{img.width} * img.height);
    const std::uint8_t* px = r.Here();
    for (std::size_t i = 0; i < img.pixels.size(); ++i, px += 4) {
        img.pixels[i] = MakePixel(px[2], px[1], px[0], px[3]);
    }
    slot->get(skin) = std::move(img);
    return {};
}

} // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) {
        crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::optional<std::vector<std::uint8_t>> SerializeSkin(const Skin& skin, std::size_t totalSize,
                                                       std::span<const std::uint8_t> filler) {
    if (skin.name.size() > kMaxNameBytes) {
        return std::nullopt;
    }
    Writer w;
    w.bytes.insert(w.bytes.end(), kMagic, kMagic + 4);
    w.U16(kFormatVersion);
    w.U16(static_cast<std::uint16_t>(kContentHeaderSize));
    w.U32(0); // total size
    w.U32(0); // CRC

    std::size_t at = w.Begin(kTagName);
    w.bytes.insert(w.bytes.end(), skin.name.begin(), skin.name.end());
    w.End(at);

    at = w.Begin(kTagMetrics);
    for (const MetricSlot& m : MetricSlots()) {
        const std::uint16_t v = m.get(Mutable(skin));
        if (v < m.min || v > m.max) {
            return std::nullopt;
        }
        w.U16(m.id);
        w.U16(v);
    }
    w.End(at);

    at = w.Begin(kTagColours);
    for (const ColourSlot& c : ColourSlots()) {
        const Rgb v = c.get(Mutable(skin));
        w.U16(c.id);
        w.U8(v.r);
        w.U8(v.g);
        w.U8(v.b);
        w.U8(0);
    }
    w.End(at);

    for (const ImageSlot& s : ImageSlots()) {
        const Image& img = s.get(Mutable(skin));
        if (!ImageFits(img)) {
            return std::nullopt;
        }
        at = w.Begin(kTagImage);
        w.U16(s.id);
        w.U16(static_cast<std::uint16_t>(img.width));
        w.U16(static_cast<std::uint16_t>(img.height));
        w.U16(img.margins.left);
        w.U16(img.margins.top);
        w.U16(img.margins.right);
        w.U16(img.margins.bottom);
        w.U16(0); // raw 32-bit BGRA
        for (Pixel p : img.pixels) {
            w.U8(PixelB(p));
            w.U8(PixelG(p));
            w.U8(PixelR(p));
            w.U8(PixelA(p));
        }
        w.End(at);
    }

    if (totalSize != 0 && totalSize != w.bytes.size()) {
        if (totalSize < w.bytes.size() + kChunkHeaderSize + filler.size() || totalSize > 0xFFFFFFFFu) {
            return std::nullopt;
        }
        at = w.Begin(kTagPadding);
        w.bytes.insert(w.bytes.end(), filler.begin(), filler.end());
        w.bytes.resize(totalSize, 0);
        w.End(at);
    }
    w.Put32At(8, static_cast<std::uint32_t>(w.bytes.size()));
    w.Put32At(12, Crc32(std::span(w.bytes).subspan(kContentHeaderSize)));
    return std::move(w.bytes);
}

SkinResult ParseSkin(std::span<const std::uint8_t> content) {
    auto refuse = [](std::string why) { return SkinResult{std::nullopt, "skin content: " + std::move(why)}; };
    if (content.size() < kContentHeaderSize) {
        return refuse("shorter than its header");
    }
    if (std::memcmp(content.data(), kMagic, 4) != 0) {
        return refuse("not a Trigora skin (wrong magic)");
    }
    Reader h(content.data() + 4, kContentHeaderSize - 4);
    const std::uint16_t version = h.U16();
    const std::uint16_t headerSize = h.U16();
    const std::uint32_t totalSize = h.U32();
    const std::uint32_t crc = h.U32();
    if (version == 0 || version > kFormatVersion) {
        return refuse("format version " + std::to_string(version) + " is not supported");
    }
    if (headerSize < kContentHeaderSize || headerSize > content.size()) {
        return refuse("bad header size");
    }
    if (totalSize != content.size()) {
        return refuse("size field disagrees with the content size");
    }
    if (Crc32(content.subspan(kContentHeaderSize)) != crc) {
        return refuse("checksum mismatch (content is damaged)");
    }

    Skin skin;
    std::set<std::uint16_t> seenImages;
    std::set<std::uint16_t> seenColours;
    std::set<std::uint16_t> seenMetrics;
    bool seenName = false;
    Reader r(content.data() + headerSize, content.size() - headerSize);
    while (r.Left() > 0) {
        const std::uint32_t tag = r.U32();
        const std::uint32_t length = r.U32();
        if (!r.ok) {
            return refuse("truncated chunk header");
        }
        if (length > r.Left()) {
            return refuse("chunk " + TagText(tag) + " runs past the end");
        }
        Reader c(r.Here(), length);
        if (tag == kTagName) {
            if (length > kMaxNameBytes || seenName) {
                return refuse("bad or repeated name chunk");
            }
            seenName = true;
            skin.name.assign(reinterpret_cast<const char*>(c.Here()), length);
        } else if (tag == kTagMetrics) {
            if (length % 4 != 0) {
                return refuse("metrics chunk has a partial entry");
            }
            while (c.Left() > 0) {
                const std::uint16_t id = c.U16();
                const std::uint16_t v = c.U16();
                for (const MetricSlot& m : MetricSlots()) {
                    if (m.id != id) {
                        continue;
                    }
                    if (v < m.min || v > m.max) {
                        return refuse("metric " + std::string(m.key) + " = " + std::to_string(v) +
                                      " is out of range");
                    }
                    if (!seenMetrics.insert(id).second) {
                        return refuse("metric " + std::string(m.key) + " appears twice");
                    }
                    m.get(skin) = v;
                }
            }
        } else if (tag == kTagColours) {
            if (length % 6 != 0) {
                return refuse("colour chunk has a partial entry");
            }
            while (c.Left() > 0) {
                const std::uint16_t id = c.U16();
                const Rgb v{c.U8(), c.U8(), c.U8()};
                c.U8();
                for (const ColourSlot& s : ColourSlots()) {
                    if (s.id != id) {
                        continue;
                    }
                    if (!seenColours.insert(id).second) {
                        return refuse("colour " + std::string(s.key) + " appears twice");
                    }
                    s.get(skin) = v;
                }
            }
        } else if (tag == kTagImage) {
            if (std::string why = ParseImage(c, length, skin, seenImages); !why.empty()) {
                return refuse(why);
            }
        }
        // Padding and chunks of later versions are skipped whole.
        r.Skip(length);
    }
    for (const MetricSlot& m : MetricSlots()) {
        if (!seenMetrics.count(m.id)) {
            return refuse("metric " + std::string(m.key) + " is missing");
        }
    }
    for (const ColourSlot& s : ColourSlots()) {
        if (!seenColours.count(s.id)) {
            return refuse("colour " + std::string(s.key) + " is missing");
        }
    }
    for (const ImageSlot& s : ImageSlots()) {
        if (!seenImages.count(s.id)) {
            return refuse("image " + std::string(s.key) + " is missing");
        }
    }
    return {std::move(skin), {}};
}

} // namespace trigora::skin
