// Reading ICO file bytes: every read is checked against the length, whatever the bytes claim.
#include "shell/icon_file.h"

#include <algorithm>
#include <array>

namespace trigora {
namespace {

constexpr std::size_t kIconDirBytes = 6;
constexpr std::size_t kIconDirEntryBytes = 16;
constexpr std::size_t kBitmapInfoHeaderBytes = 40;
constexpr std::size_t kPngHeadBytes = 24; // signature, IHDR length and type, width, height
constexpr int kLargestIconSide = 256;

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Callers check the bounds first; these only assemble bytes.
std::uint16_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint32_t Be32(std::span<const std::uint8_t> b, std::size_t at) {
    return (static_cast<std::uint32_t>(b[at]) << 24) | (static_cast<std::uint32_t>(b[at + 1]) << 16) |
           (static_cast<std::uint32_t>(b[at + 2]) << 8) | static_cast<std::uint32_t>(b[at + 3]);
}

bool SideFits(std::int64_t side) {
    return side >= 1 && side <= kLargestIconSide;
}

// The size an image's own header gives, or nothing when the header is not one an icon can be made
// from. `image` already lies inside the file.
std::optional<IconImage> ImageWithSize(std::span<const std::uint8_t> image) {
    if (image.size() >= kPngHeadBytes &&
        std::equal(kPngSignature.begin(), kPngSignature.end(), image.begin())) {
        const std::int64_t width = Be32(image, 16);
        const std::int64_t height = Be32(image, 20);
        if (!SideFits(width) || !SideFits(height)) {
            return std::nullopt;
        }
        return IconImage{image, static_cast<int>(width), static_cast<int>(height)};
    }
    if (image.size() < kBitmapInfoHeaderBytes) {
        return std::nullopt;
    }
    const std::uint32_t headerSize = Le32(image, 0);
    if (headerSize < kBitmapInfoHeaderBytes || headerSize > image.size()) {
        return std::nullopt;
    }
    const std::int64_t width = static_cast<std::int32_t>(Le32(image, 4));
    // The height counts the colour image and the mask below it together.
    const std::int64_t height = static_cast<std::int32_t>(Le32(image, 8)) / 2;
    if (!SideFits(width) || !SideFits(height)) {
        return std::nullopt;
    }
    return IconImage{image, static_cast<int>(width), static_cast<int>(height)};
}

} // namespace

std::vector<IcoEntry> ReadIcoDirectory(std::span<const std::uint8_t> file) {
    if (file.size() < kIconDirBytes || Le16(file, 0) != 0 || Le16(file, 2) != 1) {
        return {};
    }
    const std::size_t count = Le16(file, 4);
    if (count == 0 || file.size() < kIconDirBytes + count * kIconDirEntryBytes) {
        return {};
    }
    std::vector<IcoEntry> entries;
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = kIconDirBytes + i * kIconDirEntryBytes;
        IcoEntry e;
        e.width = file[at];
        e.height = file[at + 1];
        e.colorCount = file[at + 2];
        e.planes = Le16(file, at + 4);
        e.bitCount = Le16(file, at + 6);
        e.bytesInRes = Le32(file, at + 8);
        e.imageOffset = Le32(file, at + 12);
        entries.push_back(e);
    }
    return entries;
}

bool HasSixteenOrMoreColours(const IcoEntry& entry) {
    if (entry.colorCount != 0) {
        return entry.colorCount >= 16;
    }
    // A bit count of 0 says nothing; 1 to 3 bits per pixel cannot give 16 colours.
    return entry.bitCount == 0 || entry.bitCount >= 4;
}

std::optional<IconImage> FindIconImage(std::span<const std::uint8_t> file, int width) {
    const std::vector<IcoEntry> entries = ReadIcoDirectory(file);
    if (entries.empty()) {
        return std::nullopt;
    }
    auto chosen = std::find_if(entries.begin(), entries.end(), [width](const IcoEntry& e) {
        return e.width == width && HasSixteenOrMoreColours(e);
    });
    if (chosen == entries.end()) {
        chosen = entries.end() - 1;
    }
    const std::uint64_t offset = chosen->imageOffset;
    const std::uint64_t size = chosen->bytesInRes;
    if (size == 0 || offset > file.size() || size > file.size() - offset) {
        return std::nullopt;
    }
    return ImageWithSize(file.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size)));
}

std::vector<IconImage> TrayIconCandidates(std::span<const std::uint8_t> file) {
    std::vector<IconImage> candidates;
    for (int width : {16, 32}) {
        std::optional<IconImage> image = FindIconImage(file, width);
        if (!image) {
            continue;
        }
        const bool repeat = std::any_of(candidates.begin(), candidates.end(), [&](const IconImage& c) {
            return c.bytes.data() == image->bytes.data() && c.bytes.size() == image->bytes.size();
        });
        if (!repeat) {
            candidates.push_back(*image);
        }
    }
    return candidates;
}

} // namespace trigora
