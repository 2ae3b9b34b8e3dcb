// The scripted LZMA1 encoder: a range encoder plus the same adaptive models the decoder keeps.
#include "lzma_script.h"

#include <array>

namespace trigora::lzmatest {
namespace {

using Prob = std::uint16_t;

struct RangeEncoder {
    std::uint64_t low = 0;
    std::uint32_t range = 0xFFFFFFFFu;
    std::uint8_t cache = 0;
    std::uint64_t cacheSize = 1;
    std::vector<std::uint8_t> out;

    void ShiftLow() {
        if (static_cast<std::uint32_t>(low) < 0xFF000000u || (low >> 32) != 0) {
            std::uint8_t temp = cache;
            do {
                out.push_back(static_cast<std::uint8_t>(temp + static_cast<std::uint8_t>(low >> 32)));
                temp = 0xFF;
            } while (--cacheSize != 0);
            cache = static_cast<std::uint8_t>(static_cast<std::uint32_t>(low) >> 24);
        }
        ++cacheSize;
        low = static_cast<std::uint32_t>(low) << 8;
    }
    void Normalize() {
        while (range < (1u << 24)) {
            range <<= 8;
            ShiftLow();
        }
    }
    void Bit(Prob& p, unsigned bit) {
        const std::uint32_t bound = (range >> 11) * p;
        if (bit == 0) {
            range = bound;
            p = static_cast<Prob>(p + ((2048 - p) >> 5));
        } else {
            low += bound;
            range -= bound;
            p = static_cast<Prob>(p - (p >> 5));
        }
        Normalize();
    }
    void Direct(std::uint32_t value, unsigned count) {
        while (count-- > 0) {
            range >>= 1;
            low += range & (0u - ((value >> count) & 1u));
            Normalize();
        }
    }
    void Tree(Prob* probs, unsigned numBits, unsigned symbol) {
        unsigned m = 1;
        for (unsigned i = numBits; i-- > 0;) {
            const unsigned bit = (symbol >> i) & 1;
            Bit(probs[m], bit);
            m = (m << 1) | bit;
        }
    }
    void TreeReverse(Prob* probs, unsigned numBits, unsigned symbol) {
        unsigned m = 1;
        for (unsigned i = 0; i < numBits; ++i) {
            const unsigned bit = symbol & 1;
            symbol >>= 1;
            Bit(probs[m], bit);
            m = (m << 1) | bit;
        }
    }
    void Flush() {
        for (int i = 0; i < 5; ++i) {
            ShiftLow();
        }
    }
};

template <std::size_t N> std::array<Prob, N> Fresh() {
    std::array<Prob, N> a;
    a.fill(1024);
    return a;
}

struct Len {
    Prob choice = 1024;
    Prob choice2 = 1024;
    std::array<Prob, 16 * 8> low = Fresh<16 * 8>();
    std::array<Prob, 16 * 8> mid = Fresh<16 * 8>();
    std::array<Prob, 256> high = Fresh<256>();
    void Encode(RangeEncoder& rc, unsigned len, unsigned posState) {
        if (len < 8) {
            rc.Bit(choice, 0);
            rc.Tree(&low[posState * 8], 3, len);
        } else if (len < 16) {
            rc.Bit(choice, 1);
            rc.Bit(choice2, 0);
            rc.Tree(&mid[posState * 8], 3, len - 8);
        } else {
            rc.Bit(choice, 1);
            rc.Bit(choice2, 1);
            rc.Tree(high.data(), 8, len - 16);
        }
    }
};

} // namespace

std::vector<std::uint8_t> EncodeScript(const std::vector<Symbol>& symbols) {
    RangeEncoder rc;
    auto isMatch = Fresh<12 * 16>();
    auto isRep = Fresh<12>();
    auto isRepG0 = Fresh<12>();
    auto isRep0Long = Fresh<12 * 16>();
    auto posSlot = Fresh<4 * 64>();
    auto posDecoders = Fresh<115>();
    auto align = Fresh<16>();
    std::vector<Prob> literals(0x300 << 3, 1024);
    Len len;
    Len repLen;
    unsigned state = 0;
    std::uint32_t rep0 = 0;
    std::vector<std::uint8_t> data; // what the decoder will have written, for literal contexts

    auto byteAt = [&](std::uint32_t dist) -> std::uint8_t {
        return dist < data.size() ? data[data.size() - dist - 1] : 0;
    };
    for (const Symbol& s : symbols) {
        const unsigned posState = static_cast<unsigned>(data.size()) & 3;
        if (s.kind == Symbol::Literal) {
            rc.Bit(isMatch[state * 16 + posState], 0);
            const unsigned prev = data.empty() ? 0 : data.back();
            Prob* probs = literals.data() + 0x300 * (prev >> 5);
            unsigned symbol = s.value | 0x100;
            if (state >= 7) {
                unsigned matchByte = byteAt(rep0);
                unsigned offs = 0x100;
                unsigned sym = 1;
                for (int i = 7; i >= 0; --i) {
                    const unsigned bit = (s.value >> i) & 1;
                    const unsigned matchBit = (matchByte >> i) & 1;
                    rc.Bit(probs[offs + (matchBit << 8) + sym], bit);
                    sym = (sym << 1) | bit;
                    if (matchBit != bit) {
                        for (int j = i - 1; j >= 0; --j) {
                            const unsigned b = (s.value >> j) & 1;
                            rc.Bit(probs[sym], b);
                            sym = (sym << 1) | b;
                        }
                        break;
                    }
                }
            } else {
                rc.Tree(probs, 8, symbol & 0xFF);
            }
            data.push_back(static_cast<std::uint8_t>(s.value));
            state = state < 4 ? 0 : (state < 10 ? state - 3 : state - 6);
        } else if (s.kind == Symbol::ShortRep) {
            rc.Bit(isMatch[state * 16 + posState], 1);
            rc.Bit(isRep[state], 1);
            rc.Bit(isRepG0[state], 0);
            rc.Bit(isRep0Long[state * 16 + posState], 0);
            data.push_back(byteAt(rep0));
            state = state < 7 ? 9 : 11;
        } else if (s.kind == Symbol::Rep0) {
            rc.Bit(isMatch[state * 16 + posState], 1);
            rc.Bit(isRep[state], 1);
            rc.Bit(isRepG0[state], 0);
            rc.Bit(isRep0Long[state * 16 + posState], 1);
            repLen.Encode(rc, s.len - 2, posState);
            for (std::uint32_t i = 0; i < s.len; ++i) {
                data.push_back(byteAt(rep0));
            }
            state = state < 7 ? 8 : 11;
        } else {
            const std::uint32_t dist = s.kind == Symbol::EndMarker ? 0xFFFFFFFFu : s.value;
            const unsigned l = s.kind == Symbol::EndMarker ? 2 : s.len;
            rc.Bit(isMatch[state * 16 + posState], 1);
            rc.Bit(isRep[state], 0);
            len.Encode(rc, l - 2, posState);
            const unsigned lenState = l - 2 < 3 ? l - 2 : 3;
            unsigned slot;
            if (dist < 4) {
                slot = dist;
            } else {
                unsigned top = 31;
                while (((dist >> top) & 1) == 0) {
                    --top;
                }
                slot = 2 * top + ((dist >> (top - 1)) & 1);
            }
            rc.Tree(&posSlot[lenState * 64], 6, slot);
            if (slot >= 4) {
                const unsigned numDirect = (slot >> 1) - 1;
                const std::uint32_t base = (2u | (slot & 1u)) << numDirect;
                const std::uint32_t rest = dist - base;
                if (slot < 14) {
                    rc.TreeReverse(posDecoders.data() + base - slot, numDirect, rest);
                } else {
                    rc.Direct(rest >> 4, numDirect - 4);
                    rc.TreeReverse(align.data(), 4, rest & 15);
                }
            }
            rep0 = dist;
            state = state < 7 ? 7 : 10;
            for (std::uint32_t i = 0; s.kind == Symbol::Match && i < l; ++i) {
                data.push_back(byteAt(rep0));
            }
        }
    }
    rc.Flush();
    return rc.out;
}

} // namespace trigora::lzmatest
