// Reading a stored skin file: the 15-byte header, our LZMA decoder, then the skin content.
#pragma once

#include "skin_format.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace trigora::skin {

inline constexpr std::size_t kSkinFileHeaderSize = 15;
inline constexpr std::uint8_t kSkinFileProperties = 0x5d;        // lc 3, lp 0, pb 2
inline constexpr std::uint32_t kSkinFileDictionary = 0x00800000; // 8 MiB
// No skin comes near this; a larger announced size is refused before anything is allocated.
inline constexpr std::uint32_t kMaxExpandedSize = 8u << 20;

struct ExpandResult {
    std::vector<std::uint8_t> content; // exactly the announced size when error is empty
    std::string error;
    std::size_t streamBytes = 0; // LZMA bytes read after the header
};

// Checks the header and decodes the content; whatever follows the stream is padding.
ExpandResult ExpandSkinFile(std::span<const std::uint8_t> file);

// The whole of it: header, stream and content. Never throws for bad bytes.
SkinResult ReadSkinFile(std::span<const std::uint8_t> file);

// The 15-byte header for a content of the given size, as the generator writes it.
std::vector<std::uint8_t> SkinFileHeader(std::uint32_t expandedSize);

} // namespace trigora::skin
