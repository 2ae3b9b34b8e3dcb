// A tiny LZMA1 encoder driven by an explicit list of symbols, to build streams no sane encoder
// writes (a match before the start, a match past the end, an early end marker).
#pragma once

#include <cstdint>
#include <vector>

namespace trigora::lzmatest {

struct Symbol {
    enum Kind { Literal, Match, ShortRep, Rep0, EndMarker } kind;
    std::uint32_t value = 0; // literal byte, or match distance (0 = the previous byte)
    std::uint32_t len = 0;   // match length, 2..273
};

// Encodes the symbols with lc3 lp0 pb2, exactly as a decoder will model them.
std::vector<std::uint8_t> EncodeScript(const std::vector<Symbol>& symbols);

} // namespace trigora::lzmatest
