// Raw LZMA1 decoding: range decoder, literal, match and repeat coding in one tight loop.
#include "lzma_decoder.h"

#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

namespace trigora::lzma {
namespace {

using Prob = std::uint16_t;

constexpr unsigned kNumBitModelTotalBits = 11;
constexpr std::uint32_t kBitModelTotal = 1u << kNumBitModelTotalBits;
constexpr unsigned kNumMoveBits = 5;
constexpr Prob kProbInit = kBitModelTotal / 2;
constexpr std::uint32_t kTopValue = 1u << 24;

constexpr unsigned kNumStates = 12;
constexpr unsigned kNumPosBitsMax = 4;
constexpr unsigned kNumLenToPosStates = 4;
constexpr unsigned kNumAlignBits = 4;
constexpr unsigned kStartPosModelIndex = 4;
constexpr unsigned kEndPosModelIndex = 14;
constexpr unsigned kNumFullDistances = 1u << (kEndPosModelIndex >> 1);
constexpr unsigned kMatchMinLen = 2;

// Feeds zero bytes once the input is exhausted and remembers that it did; the main loop checks
// the flag once per symbol, so no bit decode needs a bounds branch of its own beyond this one.
struct RangeDecoder {
    const std::uint8_t* in;
    const std::uint8_t* end;
    std::uint32_t range = 0xFFFFFFFFu;
    std::uint32_t code = 0;
    bool overrun = false;
    bool corrupt = false;

    std::uint8_t Next() {
        if (in == end) {
            overrun = true;
            return 0;
        }
        return *in++;
    }
    void Normalize() {
        if (range < kTopValue) {
            range <<= 8;
            code = (code << 8) | Next();
        }
    }
    unsigned Bit(Prob& p) {
        const std::uint32_t bound = (range >> kNumBitModelTotalBits) * p;
        unsigned bit;
        if (code < bound) {
            range = bound;
            p = static_cast<Prob>(p + ((kBitModelTotal - p) >> kNumMoveBits));
            bit = 0;
        } else {
            range -= bound;
            code -= bound;
            p = static_cast<Prob>(p - (p >> kNumMoveBits));
            bit = 1;
        }
        Normalize();
        return bit;
    }
    std::uint32_t DirectBits(unsigned count) {
        std::uint32_t res = 0;
        do {
            range >>= 1;
            code -= range;
            const std::uint32_t t = 0u - (code >> 31);
            code += range & t;
            if (code == range) {
                corrupt = true;
            }
            Normalize();
            res = (res << 1) + (t + 1);
        } while (--count != 0);
        return res;
    }
    unsigned BitTree(Prob* probs, unsigned numBits) {
        unsigned m = 1;
        for (unsigned i = 0; i < numBits; ++i) {
            m = (m << 1) + Bit(probs[m]);
        }
        return m - (1u << numBits);
    }
    unsigned BitTreeReverse(Prob* probs, unsigned numBits) {
        unsigned m = 1;
        unsigned symbol = 0;
        for (unsigned i = 0; i < numBits; ++i) {
            const unsigned bit = Bit(probs[m]);
            m = (m << 1) + bit;
            symbol |= bit << i;
        }
        return symbol;
    }
};

struct LenDecoder {
    Prob choice = kProbInit;
    Prob choice2 = kProbInit;
    Prob low[1u << kNumPosBitsMax][1u << 3];
    Prob mid[1u << kNumPosBitsMax][1u << 3];
    Prob high[1u << 8];

    LenDecoder() {
        for (auto& row : low) {
            for (Prob& p : row) {
                p = kProbInit;
            }
        }
        for (auto& row : mid) {
            for (Prob& p : row) {
                p = kProbInit;
            }
        }
        for (Prob& p : high) {
            p = kProbInit;
        }
    }
    unsigned Decode(RangeDecoder& rc, unsigned posState) {
        if (rc.Bit(choice) == 0) {
            return rc.BitTree(low[posState], 3);
        }
        if (rc.Bit(choice2) == 0) {
            return 8 + rc.BitTree(mid[posState], 3);
        }
        return 16 + rc.BitTree(high, 8);
    }
};

struct Model {
    Prob isMatch[kNumStates << kNumPosBitsMax];
    Prob isRep[kNumStates];
    Prob isRepG0[kNumStates];
    Prob isRepG1[kNumStates];
    Prob isRepG2[kNumStates];
    Prob isRep0Long[kNumStates << kNumPosBitsMax];
    Prob posSlot[kNumLenToPosStates][1u << 6];
    Prob posDecoders[1 + kNumFullDistances - kEndPosModelIndex];
    Prob align[1u << kNumAlignBits];
    LenDecoder len;
    LenDecoder repLen;

    Model() {
        auto fill = [](Prob* p, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i) {
                p[i] = kProbInit;
            }
        };
        fill(isMatch, std::size(isMatch));
        fill(isRep, kNumStates);
        fill(isRepG0, kNumStates);
        fill(isRepG1, kNumStates);
        fill(isRepG2, kNumStates);
        fill(isRep0Long, std::size(isRep0Long));
        fill(&posSlot[0][0], sizeof(posSlot) / sizeof(Prob));
        fill(posDecoders, std::size(posDecoders));
        fill(align, std::size(align));
    }
};

std::uint32_t DecodeDistance(RangeDecoder& rc, Model& m, unsigned len) {
    const unsigned lenState = len < kNumLenToPosStates - 1 ? len : kNumLenToPosStates - 1;
    const unsigned slot = rc.BitTree(m.posSlot[lenState], 6);
    if (slot < kStartPosModelIndex) {
        return slot;
    }
    const unsigned numDirectBits = (slot >> 1) - 1;
    std::uint32_t dist = (2u | (slot & 1u)) << numDirectBits;
    if (slot < kEndPosModelIndex) {
        dist += rc.BitTreeReverse(m.posDecoders + dist - slot, numDirectBits);
    } else {
        dist += rc.DirectBits(numDirectBits - kNumAlignBits) << kNumAlignBits;
        dist += rc.BitTreeReverse(m.align, kNumAlignBits);
    }
    return dist;
}

} // namespace

std::optional<Properties> PropertiesFromByte(std::uint8_t byte) {
    if (byte >= 9 * 5 * 5) {
        return std::nullopt;
    }
    Properties p;
    p.lc = byte % 9;
    p.lp = (byte / 9) % 5;
    p.pb = byte / 45;
    if (p.lc + p.lp > 12) {
        return std::nullopt;
    }
    return p;
}

const char* ErrorText(Error error) {
    switch (error) {
    case Error::None:
        return "no error";
    case Error::BadProperties:
        return "LZMA properties out of range";
    case Error::FirstByteNotZero:
        return "LZMA stream does not start with a zero byte";
    case Error::InputTruncated:
        return "LZMA stream ends before the expanded size is reached";
    case Error::DistanceTooFar:
        return "LZMA match refers to data before the start of the output";
    case Error::MatchPastEnd:
        return "LZMA match runs past the expanded size";
    case Error::EndMarkerTooEarly:
        return "LZMA end marker before the expanded size is reached";
    case Error::CorruptRangeCoder:
        return "LZMA range coder state is corrupt";
    }
    return "unknown LZMA error";
}

Result Decode(const Properties& props, const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
              std::size_t outSize) {
    if (props.lc > 8 || props.lp > 4 || props.pb > 4 || props.lc + props.lp > 12) {
        return {Error::BadProperties, 0};
    }
    RangeDecoder rc{in, in + inSize};
    if (rc.Next() != 0) {
        return {rc.overrun ? Error::InputTruncated : Error::FirstByteNotZero, 0};
    }
    for (int i = 0; i < 4; ++i) {
        rc.code = (rc.code << 8) | rc.Next();
    }
    if (rc.overrun) {
        return {Error::InputTruncated, 0};
    }
    if (rc.code == rc.range) {
        return {Error::CorruptRangeCoder, 0};
    }

    auto model = std::make_unique<Model>();
    Model& m = *model;
    std::vector<Prob> literals(std::size_t{0x300} << (props.lc + props.lp), kProbInit);
    const unsigned lc = props.lc;
    const std::uint32_t lpMask = (1u << props.lp) - 1;
    const std::uint32_t pbMask = (1u << props.pb) - 1;

    std::size_t pos = 0;
    unsigned state = 0;
    std::uint32_t rep0 = 0;
    std::uint32_t rep1 = 0;
    std::uint32_t rep2 = 0;
    std::uint32_t rep3 = 0;

    while (pos < outSize) {
        if (rc.overrun) {
            return {Error::InputTruncated, 0};
        }
        const unsigned posState = static_cast<unsigned>(pos) & pbMask;

        if (rc.Bit(m.isMatch[(state << kNumPosBitsMax) + posState]) == 0) {
            const unsigned prevByte = pos > 0 ? out[pos - 1] : 0;
            Prob* probs = literals.data() + 0x300 * (((static_cast<std::uint32_t>(pos) & lpMask) << lc) +
                                                     (prevByte >> (8 - lc)));
            unsigned symbol = 1;
            if (state >= 7) {
                if (rep0 >= pos) {
                    return {Error::DistanceTooFar, 0};
                }
                unsigned matchByte = out[pos - rep0 - 1];
                do {
                    const unsigned matchBit = (matchByte >> 7) & 1;
                    matchByte <<= 1;
                    const unsigned bit = rc.Bit(probs[((1 + matchBit) << 8) + symbol]);
                    symbol = (symbol << 1) | bit;
                    if (matchBit != bit) {
                        break;
                    }
                } while (symbol < 0x100);
            }
            while (symbol < 0x100) {
                symbol = (symbol << 1) | rc.Bit(probs[symbol]);
            }
            out[pos++] = static_cast<std::uint8_t>(symbol);
            state = state < 4 ? 0 : (state < 10 ? state - 3 : state - 6);
            continue;
        }

        unsigned len;
        if (rc.Bit(m.isRep[state]) != 0) {
            if (rc.Bit(m.isRepG0[state]) == 0) {
                if (rc.Bit(m.isRep0Long[(state << kNumPosBitsMax) + posState]) == 0) {
                    // short repeat: one byte at distance rep0
                    if (rep0 >= pos) {
                        return {Error::DistanceTooFar, 0};
                    }
                    state = state < 7 ? 9 : 11;
                    out[pos] = out[pos - rep0 - 1];
                    ++pos;
                    continue;
                }
            } else {
                std::uint32_t dist;
                if (rc.Bit(m.isRepG1[state]) == 0) {
                    dist = rep1;
                } else {
                    if (rc.Bit(m.isRepG2[state]) == 0) {
                        dist = rep2;
                    } else {
                        dist = rep3;
                        rep3 = rep2;
                    }
                    rep2 = rep1;
                }
                rep1 = rep0;
                rep0 = dist;
            }
            len = m.repLen.Decode(rc, posState);
            state = state < 7 ? 8 : 11;
        } else {
            rep3 = rep2;
            rep2 = rep1;
            rep1 = rep0;
            len = m.len.Decode(rc, posState);
            state = state < 7 ? 7 : 10;
            rep0 = DecodeDistance(rc, m, len);
            if (rep0 == 0xFFFFFFFFu) {
                if (rc.overrun) {
                    return {Error::InputTruncated, 0};
                }
                return {Error::EndMarkerTooEarly, 0};
            }
        }
        if (rc.overrun) {
            return {Error::InputTruncated, 0};
        }
        if (rc.corrupt) {
            return {Error::CorruptRangeCoder, 0};
        }
        len += kMatchMinLen;
        if (rep0 >= pos) {
            return {Error::DistanceTooFar, 0};
        }
        if (len > outSize - pos) {
            return {Error::MatchPastEnd, 0};
        }
        const std::size_t dist = std::size_t{rep0} + 1;
        std::uint8_t* dst = out + pos;
        const std::uint8_t* src = dst - dist;
        if (dist >= len) {
            std::memcpy(dst, src, len);
        } else {
            // overlapping copy: the run repeats itself, byte by byte
            for (unsigned i = 0; i < len; ++i) {
                dst[i] = src[i];
            }
        }
        pos += len;
    }
    if (rc.overrun) {
        return {Error::InputTruncated, 0};
    }
    if (rc.corrupt) {
        return {Error::CorruptRangeCoder, 0};
    }
    return {Error::None, static_cast<std::size_t>(rc.in - in)};
}

} // namespace trigora::lzma
