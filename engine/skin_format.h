// Our skin content format (see SKIN_FORMAT.md): a skin to bytes and back, refusing bad content.
#pragma once

#include "skin_model.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace trigora::skin {

inline constexpr std::uint16_t kFormatVersion = 1;
inline constexpr std::size_t kContentHeaderSize = 16;
inline constexpr std::size_t kChunkHeaderSize = 8;
inline constexpr std::uint32_t kMaxImageSide = 1024;
inline constexpr std::size_t kMaxNameBytes = 64;

// The skin as content bytes. With totalSize set, a padding chunk brings the content to exactly
// that size; its payload begins with filler and is zero after it. nullopt when the skin does not
// fit, when the gap is too small for a chunk header (1..7 bytes), or when the skin itself is not
// valid (an image too big, margins outside it, a name too long).
std::optional<std::vector<std::uint8_t>> SerializeSkin(const Skin& skin, std::size_t totalSize = 0,
                                                       std::span<const std::uint8_t> filler = {});

struct SkinResult {
    std::optional<Skin> skin;
    std::string error; // why the content was refused; empty when skin is set
};

SkinResult ParseSkin(std::span<const std::uint8_t> content);

// CRC-32 (the zip/PNG polynomial) of the bytes.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

} // namespace trigora::skin
