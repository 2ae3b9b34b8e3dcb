// Sine and cosine by exact reduction modulo pi/2 and minimax kernels; arctangent by range splitting.
#include "calc/elementary.h"

#include <bit>
#include <cstdint>
#include <limits>

namespace trigora::calc {

namespace {

// Bits of 2/pi after the binary point, most significant first: enough for the largest double's
// exponent plus a window of 224 bits.
constexpr uint32_t kTwoOverPi[] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561,
    0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E, 0xE88235F5, 0x2EBB4484,
    0xE99C7026, 0xB45F7E41, 0x3991D639, 0x835339F4, 0x9C845F8B, 0xBDF9283B, 0x1FF897FF, 0xDE05980F,
    0xEF2F118B, 0x5A0A6D1F, 0x6D367ECF, 0x27CB09B7, 0x4F463F66, 0x9E5FEA2D, 0x7527BAC7, 0xEBE5F17B,
    0x3D0739F7, 0x8A5292EA, 0x6BFB5FB1, 0x1F8D5D08, 0x56033046, 0xFC7B6BAB, 0xF0CFBC20, 0x9AF4361D,
    0xA9E39161, 0x5EE61B08, 0x6599855F, 0x14A06840, 0x8DFFD880, 0x4D732731, 0x06061556, 0xCA73A8C9,
};

// pi/2 as a sum of two doubles.
constexpr double kHalfPiHi = 1.57079632679489655800e+00;  // 0x3FF921FB54442D18
constexpr double kHalfPiLo = 6.12323399573676603587e-17;  // 0x3C91A62633145C07
constexpr double kQuarterPi = 7.85398163397448278999e-01; // 0x3FE921FB54442D18

constexpr uint64_t kTopBit = uint64_t{1} << 63;

uint64_t Bits(double x) {
    return std::bit_cast<uint64_t>(x);
}

// 2^k for -1022 <= k <= 1023.
double Pow2(int k) {
    return std::bit_cast<double>(static_cast<uint64_t>(k + 1023) << 52);
}

// An integer below 2^53 as a double through SSE2 alone: the 32-bit compilers convert 64-bit
// integers on the x87, whose precision setting is not ours to rely on.
double FromInteger(uint64_t a) {
    constexpr double kTwo52 = 4503599627370496.0;
    const double low =
        std::bit_cast<double>(0x4330000000000000ull | (a & ((uint64_t{1} << 52) - 1))) - kTwo52;
    return (a >> 52) != 0 ? low + kTwo52 : low;
}

// 32 bits of 2/pi starting at bit position p (bit 1 is the first after the point; there are only
// zeros before it).
uint32_t TwoOverPiChunk(int p) {
    if (p < 1) {
        return 1 - p >= 32 ? 0 : TwoOverPiChunk(1) >> (1 - p);
    }
    const int word = (p - 1) / 32;
    const int offset = (p - 1) % 32;
    if (offset == 0) {
        return kTwoOverPi[word];
    }
    return (kTwoOverPi[word] << offset) | (kTwoOverPi[word + 1] >> (32 - offset));
}

// Exact product of two doubles as hi + lo (Dekker; no fused multiply-add needed).
void TwoProduct(double a, double b, double& hi, double& lo) {
    constexpr double kSplit = 134217729.0; // 2^27 + 1
    hi = a * b;
    double t = kSplit * a;
    const double ah = t - (t - a);
    const double al = a - ah;
    t = kSplit * b;
    const double bh = t - (t - b);
    const double bl = b - bh;
    lo = ((ah * bh - hi) + ah * bl + al * bh) + al * bl;
}

// x = quadrant * pi/2 + (hi + lo) with |hi + lo| <= pi/4, for finite x >= 0.
struct Reduced {
    int quadrant;
    double hi;
    double lo;
};

constexpr int kWindowWords = 7;
constexpr int kFractionBits = 222;

// Bits [low, low + count) of a little-endian multi-word number; bits below 0 read as zero.
uint64_t ExtractBits(const uint32_t* limbs, int size, int low, int count) {
    uint64_t v = 0;
    for (int i = count - 1; i >= 0; --i) {
        const int bit = low + i;
        v <<= 1;
        if (bit >= 0 && bit / 32 < size) {
            v |= (limbs[bit / 32] >> (bit % 32)) & 1u;
        }
    }
    return v;
}

// Payne-Hanek: multiply the 53-bit integer mantissa by the window of 2/pi that matters. Bits of
// 2/pi far enough ahead only add multiples of 4 to the product and fall away; the window is long
// enough that even the doubles closest to a multiple of pi/2 keep over 100 exact bits.
Reduced Reduce(double x) {
    if (x <= kQuarterPi) {
        return {0, x, 0.0};
    }
    const uint64_t bits = Bits(x);
    const uint64_t m = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const int e = static_cast<int>(bits >> 52) - 1075; // x = m * 2^e

    // window = bits s .. s+223 of 2/pi as a 224-bit integer; x * 2/pi = m * window * 2^-222 + 4k.
    const int s = e - 1;
    uint32_t window[kWindowWords]; // little endian
    for (int i = 0; i < kWindowWords; ++i) {
        window[kWindowWords - 1 - i] = TwoOverPiChunk(s + 32 * i);
    }
    const uint32_t mParts[2] = {static_cast<uint32_t>(m), static_cast<uint32_t>(m >> 32)};
    uint32_t product[kWindowWords + 2] = {};
    for (int i = 0; i < 2; ++i) {
        uint64_t carry = 0;
        for (int j = 0; j < kWindowWords; ++j) {
            uint64_t t = static_cast<uint64_t>(mParts[i]) * window[j] + product[i + j] + carry;
            product[i + j] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        product[i + kWindowWords] = static_cast<uint32_t>(carry);
    }

    int quadrant = static_cast<int>(ExtractBits(product, kWindowWords + 2, kFractionBits, 2));
    // The fraction: bits below 2^222. From one half on, take the next quadrant and a negative rest.
    uint32_t fraction[kWindowWords] = {};
    for (int i = 0; i < kWindowWords; ++i) {
        fraction[i] = product[i];
    }
    fraction[kWindowWords - 1] &= (1u << (kFractionBits % 32)) - 1;
    bool negative = false;
    if ((fraction[kWindowWords - 1] >> (kFractionBits % 32 - 1)) & 1u) {
        negative = true;
        quadrant = (quadrant + 1) & 3;
        // 2^222 - fraction
        uint64_t borrow = 0;
        for (int i = 0; i < kWindowWords; ++i) {
            uint64_t t = uint64_t{0} - fraction[i] - borrow;
            fraction[i] = static_cast<uint32_t>(t);
            borrow = (fraction[i] != 0 || borrow != 0) ? 1 : 0;
        }
        fraction[kWindowWords - 1] &= (1u << (kFractionBits % 32)) - 1;
    }
    int top = -1;
    for (int i = kWindowWords - 1; i >= 0 && top < 0; --i) {
        if (fraction[i] != 0) {
            top = i * 32 + std::bit_width(fraction[i]) - 1;
        }
    }
    if (top < 0) {
        return {quadrant, 0.0, 0.0};
    }
    // Three exact 53-bit pieces of the fraction, then times pi/2 in double-double.
    const int scale = top - 52 - kFractionBits;
    const double d1 = FromInteger(ExtractBits(fraction, kWindowWords, top - 52, 53)) * Pow2(scale);
    const double d2 = FromInteger(ExtractBits(fraction, kWindowWords, top - 105, 53)) * Pow2(scale - 53);
    const double d3 = FromInteger(ExtractBits(fraction, kWindowWords, top - 158, 53)) * Pow2(scale - 106);
    double hi = 0;
    double err = 0;
    TwoProduct(d1, kHalfPiHi, hi, err);
    const double lo = err + (d1 * kHalfPiLo + (d2 * kHalfPiHi + (d2 * kHalfPiLo + d3 * kHalfPiHi)));
    const double sum = hi + lo;
    const double tail = lo - (sum - hi);
    if (negative) {
        return {quadrant, -sum, -tail};
    }
    return {quadrant, sum, tail};
}

// sin(x + y) for |x + y| <= pi/4, y a tiny correction to x.
double KernelSin(double x, double y) {
    constexpr double S1 = -1.66666666666666324348e-01;
    constexpr double S2 = 8.33333333332248946124e-03;
    constexpr double S3 = -1.98412698298579493134e-04;
    constexpr double S4 = 2.75573137070700676789e-06;
    constexpr double S5 = -2.50507602534068634195e-08;
    constexpr double S6 = 1.58969099521155010221e-10;
    const double z = x * x;
    const double w = z * z;
    const double r = S2 + z * (S3 + z * S4) + z * w * (S5 + z * S6);
    const double v = z * x;
    if (y == 0) {
        return x + v * (S1 + z * r);
    }
    return x - ((z * (0.5 * y - v * r) - y) - v * S1);
}

// cos(x + y) for |x + y| <= pi/4.
double KernelCos(double x, double y) {
    constexpr double C1 = 4.16666666666666019037e-02;
    constexpr double C2 = -1.38888888888741095749e-03;
    constexpr double C3 = 2.48015872894767294178e-05;
    constexpr double C4 = -2.75573143513906633035e-07;
    constexpr double C5 = 2.08757232129817482790e-09;
    constexpr double C6 = -1.13596475577881948265e-11;
    const double z = x * x;
    double w = z * z;
    const double r = z * (C1 + z * (C2 + z * C3)) + w * w * (C4 + z * (C5 + z * C6));
    const double hz = 0.5 * z;
    w = 1.0 - hz;
    return w + (((1.0 - w) - hz) + (z * r - x * y));
}

bool IsFinite(double x) {
    return (Bits(x) & ~kTopBit) < 0x7FF0000000000000ull;
}

} // namespace

double AccurateSin(double x) {
    if (!IsFinite(x)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const bool negative = (Bits(x) & kTopBit) != 0;
    const Reduced r = Reduce(negative ? -x : x);
    double v = 0;
    switch (r.quadrant) {
    case 0:
        v = KernelSin(r.hi, r.lo);
        break;
    case 1:
        v = KernelCos(r.hi, r.lo);
        break;
    case 2:
        v = -KernelSin(r.hi, r.lo);
        break;
    default:
        v = -KernelCos(r.hi, r.lo);
        break;
    }
    return negative ? -v : v;
}

double AccurateCos(double x) {
    if (!IsFinite(x)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const Reduced r = Reduce((Bits(x) & kTopBit) != 0 ? -x : x);
    switch (r.quadrant) {
    case 0:
        return KernelCos(r.hi, r.lo);
    case 1:
        return -KernelSin(r.hi, r.lo);
    case 2:
        return -KernelCos(r.hi, r.lo);
    default:
        return KernelSin(r.hi, r.lo);
    }
}

double AccurateAtan(double x) {
    // atan(0.5), atan(1), atan(1.5), atan(inf) as double-doubles.
    constexpr double kAtanHi[] = {4.63647609000806093515e-01, 7.85398163397448278999e-01,
                                  9.82793723247329054082e-01, 1.57079632679489655800e+00};
    constexpr double kAtanLo[] = {2.26987774529616870924e-17, 3.06161699786838301793e-17,
                                  1.39033110312309984516e-17, 6.12323399573676603587e-17};
    constexpr double aT[] = {
        3.33333333333329318027e-01,  -1.99999999998764832476e-01, 1.42857142725034663711e-01,
        -1.11111104054623557880e-01, 9.09088713343650656196e-02,  -7.69187620504482999495e-02,
        6.66107313738753120669e-02,  -5.83357013379057348645e-02, 4.97687799461593236017e-02,
        -3.65315727442169155270e-02, 1.62858201153657823623e-02,
    };
    const uint64_t bits = Bits(x);
    const bool negative = (bits & kTopBit) != 0;
    const uint64_t magnitude = bits & ~kTopBit;
    if (magnitude > 0x7FF0000000000000ull) {
        return x + x;
    }
    if (magnitude >= 0x4410000000000000ull) { // |x| >= 2^66: atan is pi/2 to the last bit
        const double v = kAtanHi[3] + kAtanLo[3];
        return negative ? -v : v;
    }
    int id = -1;
    if (magnitude < 0x3FDC000000000000ull) {     // |x| < 0.4375
        if (magnitude < 0x3E40000000000000ull) { // |x| < 2^-27: atan x = x to the last bit
            return x;
        }
    } else {
        x = negative ? -x : x;
        if (magnitude < 0x3FF3000000000000ull) {     // |x| < 1.1875
            if (magnitude < 0x3FE6000000000000ull) { // 7/16 <= |x| < 11/16
                id = 0;
                x = (2.0 * x - 1.0) / (2.0 + x);
            } else { // 11/16 <= |x| < 19/16
                id = 1;
                x = (x - 1.0) / (x + 1.0);
            }
        } else if (magnitude < 0x4003800000000000ull) { // |x| < 2.4375
            id = 2;
            x = (x - 1.5) / (1.0 + 1.5 * x);
        } else { // 2.4375 <= |x| < 2^66
            id = 3;
            x = -1.0 / x;
        }
    }
    const double z = x * x;
    const double w = z * z;
    // The odd and even terms apart, for speed and for a shorter dependency chain.
    const double s1 = z * (aT[0] + w * (aT[2] + w * (aT[4] + w * (aT[6] + w * (aT[8] + w * aT[10])))));
    const double s2 = w * (aT[1] + w * (aT[3] + w * (aT[5] + w * (aT[7] + w * aT[9]))));
    if (id < 0) {
        return x - x * (s1 + s2);
    }
    const double v = kAtanHi[id] - ((x * (s1 + s2) - kAtanLo[id]) - x);
    return negative ? -v : v;
}

double AccurateSqrt(double x) {
    // With math errno off (see CMakeLists.txt) this is the one sqrtsd instruction.
    return __builtin_sqrt(x);
}

} // namespace trigora::calc
