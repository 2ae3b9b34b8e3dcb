// FormatNumber against the Windows C runtime's own "%.13g", and the sin/cos figures the shipped program must
// show.
#include <windows.h>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "calc/angle.h"
#include "calc/elementary.h"
#include "calc/number_text.h"

namespace {

using trigora::calc::FormatNumber;
using trigora::calc::ParseNumber;

using SnprintfFn = int(__cdecl*)(char*, size_t, const char*, ...);

// msvcrt's own _snprintf, not the MinGW replacement that the static runtime links in.
SnprintfFn MsvcrtSnprintf() {
    HMODULE msvcrt = LoadLibraryA("msvcrt.dll");
    if (msvcrt == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<SnprintfFn>(reinterpret_cast<void*>(GetProcAddress(msvcrt, "_snprintf")));
}

double FromBits(uint64_t bits) {
    return std::bit_cast<double>(bits);
}

void AddWithNeighbours(std::vector<double>& out, double x, int steps) {
    out.push_back(x);
    double up = x;
    double down = x;
    for (int i = 0; i < steps; ++i) {
        up = std::nextafter(up, std::numeric_limits<double>::infinity());
        down = std::nextafter(down, -std::numeric_limits<double>::infinity());
        out.push_back(up);
        out.push_back(down);
    }
}

std::vector<double> ReferenceCases() {
    std::vector<double> cases;
    std::mt19937_64 random(20240611);

    // Random bit patterns over the whole range, both signs.
    for (int i = 0; i < 600000; ++i) {
        cases.push_back(FromBits(random()));
    }
    // Every power of ten the doubles reach, and the doubles next to it.
    for (int n = -323; n <= 308; ++n) {
        AddWithNeighbours(cases, trigora::calc::PowerOfTen(n), 3);
    }
    // Halfway points between two 13-digit results: the double nearest to q.5 x 10^k and its
    // neighbours, where the rounding direction changes.
    for (int i = 0; i < 60000; ++i) {
        const uint64_t q = 1000000000000ull + random() % 9000000000000ull;
        const int k = static_cast<int>(random() % 620) - 310;
        const std::string text = std::to_string(q) + "5e" + std::to_string(k);
        AddWithNeighbours(cases, ParseNumber(text), 2);
    }
    // Exact halves: q + 0.5 and 14- to 16-digit integers whose rounding digit is an exact 5.
    for (int i = 0; i < 50000; ++i) {
        const uint64_t q = 1000000000000ull + random() % 9000000000000ull;
        cases.push_back(static_cast<double>(q) + 0.5);
        cases.push_back(static_cast<double>(q * 10 + 5));
        cases.push_back(static_cast<double>(q * 100 + 50));
        cases.push_back(static_cast<double>(q * 10 + 5) / 1024);
    }
    // Subnormals.
    for (int i = 0; i < 100000; ++i) {
        cases.push_back(FromBits(random() & 0x800FFFFFFFFFFFFFull));
    }
    // The extremes of the range.
    for (double x : {std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                     std::numeric_limits<double>::denorm_min(), 1.0, 0.1, 1e-5, 1e13, 9999999999999.5}) {
        AddWithNeighbours(cases, x, 3);
        AddWithNeighbours(cases, -x, 3);
    }
    return cases;
}

TEST(FormatReference, MatchesMsvcrtOnAMillionDoubles) {
    const SnprintfFn snprintf13 = MsvcrtSnprintf();
    ASSERT_NE(snprintf13, nullptr);
    // The three-digit exponent shows that this is msvcrt's conversion and not a C99 one.
    char probe[32];
    snprintf13(probe, sizeof probe, "%.13g", 1e-7);
    ASSERT_STREQ(probe, "1e-007");
    const std::vector<double> cases = ReferenceCases();
    int compared = 0;
    int differences = 0;
    for (double x : cases) {
        // Negative zero: msvcrt writes "-0"; the calculator writes "0" on purpose. Infinities and
        // NaN never reach FormatNumber (FormatResult writes the messages).
        if (x == 0 || !std::isfinite(x)) {
            continue;
        }
        char expected[64];
        snprintf13(expected, sizeof expected, "%.13g", x);
        expected[sizeof expected - 1] = '\0';
        const std::string actual = FormatNumber(x);
        ++compared;
        if (actual != expected) {
            if (++differences <= 20) {
                ADD_FAILURE() << "bits 0x" << std::hex << std::bit_cast<uint64_t>(x)
                              << ": FormatNumber gives " << actual << ", msvcrt " << expected;
            }
        }
    }
    std::printf("FormatNumber compared with msvcrt _snprintf(\"%%.13g\") on %d doubles: %d differ\n",
                compared, differences);
    EXPECT_GE(compared, 1000000);
    EXPECT_EQ(differences, 0);
}

// The x87 fsin/fcos of the 32-bit runtime get these wrong in the fourth digit.
TEST(FormatReference, SineAndCosineNearTheQuarterTurns) {
    using namespace trigora::calc;
    EXPECT_EQ(FormatNumber(AccurateSin(DegreesToRadians(180))), "8.979318433952e-011");
    EXPECT_EQ(FormatNumber(AccurateCos(DegreesToRadians(90))), "4.489659216976e-011");
    EXPECT_EQ(FunctionValues(DegreesToRadians(180)).sin.text, "8.979318433952e-011");
    EXPECT_EQ(FunctionValues(DegreesToRadians(90)).cos.text, "4.489659216976e-011");
}

} // namespace
