// Our raw LZMA1 decoder: decodes a stream to exactly a known size, refusing anything unsound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace trigora::lzma {

struct Properties {
    unsigned lc = 3; // literal context bits
    unsigned lp = 0; // literal position bits
    unsigned pb = 2; // position bits
};

// The properties byte is (pb * 5 + lp) * 9 + lc; values of 225 and above are not LZMA.
// lc + lp above 12 is refused too: it would need more than 6 MB of probabilities for nothing.
std::optional<Properties> PropertiesFromByte(std::uint8_t byte);

enum class Error {
    None,
    BadProperties,
    FirstByteNotZero,  // the range coder's first byte is always 0
    InputTruncated,    // input ran out before the output was complete
    DistanceTooFar,    // a match, matched literal or short repeat reaching before the output start
    MatchPastEnd,      // a match longer than the output still to be written
    EndMarkerTooEarly, // the end marker came before the expected size
    CorruptRangeCoder,
};

const char* ErrorText(Error error);

struct Result {
    Error error = Error::None;
    std::size_t inputUsed = 0; // bytes of the stream read (meaningful when error is None)
};

// Decodes exactly outSize bytes into out. An end marker after the last byte is not read, so
// streams with and without one both decode; whatever follows the stream is never looked at.
// Never reads input beyond inSize nor writes beyond outSize, whatever the input holds.
Result Decode(const Properties& props, const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
              std::size_t outSize);

} // namespace trigora::lzma
