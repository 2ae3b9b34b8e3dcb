// The host's liblzma, wrapped for the generator, the tests and the benchmark: raw LZMA1 streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace trigora::hostlzma {

struct EncodeOptions {
    std::uint32_t lc = 3;
    std::uint32_t lp = 0;
    std::uint32_t pb = 2;
    std::uint32_t dictSize = 1u << 23;
    std::uint32_t preset = 9;
    bool endMarker = false;
};

// A raw LZMA1 stream of data (no header). Throws std::runtime_error when liblzma fails.
std::vector<std::uint8_t> Encode(std::span<const std::uint8_t> data, const EncodeOptions& options = {});

// liblzma's decoding of a raw stream of known size, end marker optional; nullopt on any error.
std::optional<std::vector<std::uint8_t>> Decode(std::span<const std::uint8_t> stream, std::size_t outSize,
                                                std::uint32_t lc = 3, std::uint32_t lp = 0,
                                                std::uint32_t pb = 2);

} // namespace trigora::hostlzma
