// Stored skin files: header checks, bounded decoding, then the content parser.
#include "skin_reader.h"

#include "lzma_decoder.h"

#include <cstring>

namespace trigora::skin {
namespace {

constexpr std::uint8_t kMagic[6] = {'.', 'S', 'H', 'E', 0, 3};

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

} // namespace

std::vector<std::uint8_t> SkinFileHeader(std::uint32_t expandedSize) {
    std::vector<std::uint8_t> h(kMagic, kMagic + 6);
    for (int i = 0; i < 4; ++i) {
        h.push_back(static_cast<std::uint8_t>(expandedSize >> (8 * i)));
    }
    h.push_back(kSkinFileProperties);
    for (int i = 0; i < 4; ++i) {
        h.push_back(static_cast<std::uint8_t>(kSkinFileDictionary >> (8 * i)));
    }
    return h;
}

ExpandResult ExpandSkinFile(std::span<const std::uint8_t> file) {
    ExpandResult out;
    if (file.size() < kSkinFileHeaderSize) {
        out.error = "skin file: shorter than its 15-byte header";
        return out;
    }
    if (std::memcmp(file.data(), kMagic, 4) != 0) {
        out.error = "skin file: wrong magic (not a .SHE file)";
        return out;
    }
    if (file[4] != 0 || file[5] != 3) {
        out.error = "skin file: unknown header version";
        return out;
    }
    const std::uint32_t expanded = Le32(file.data() + 6);
    if (file[10] != kSkinFileProperties) {
        out.error = "skin file: LZMA properties byte is not 0x5d";
        return out;
    }
    if (Le32(file.data() + 11) != kSkinFileDictionary) {
        out.error = "skin file: LZMA dictionary size is not 8 MiB";
        return out;
    }
    if (expanded == 0 || expanded > kMaxExpandedSize) {
        out.error = "skin file: expanded size " + std::to_string(expanded) + " is outside 1.." +
                    std::to_string(kMaxExpandedSize);
        return out;
    }
    const auto props = lzma::PropertiesFromByte(kSkinFileProperties);
    out.content.resize(expanded);
    const std::span<const std::uint8_t> stream = file.subspan(kSkinFileHeaderSize);
    const lzma::Result r = lzma::Decode(*props, stream.data(), stream.size(), out.content.data(), expanded);
    if (r.error != lzma::Error::None) {
        out.content.clear();
        out.error = std::string("skin file: ") + lzma::ErrorText(r.error);
        return out;
    }
    out.streamBytes = r.inputUsed;
    return out;
}

SkinResult ReadSkinFile(std::span<const std::uint8_t> file) {
    ExpandResult e = ExpandSkinFile(file);
    if (!e.error.empty()) {
        return {std::nullopt, std::move(e.error)};
    }
    return ParseSkin(e.content);
}

} // namespace trigora::skin
