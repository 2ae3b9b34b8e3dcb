// libFuzzer target: FormatNumber writes the 13-digit rounding of every finite double (half away
// from zero, taken from the exact decimal expansion), in the "%.13g" layout with an exponent of at
// least three digits, never longer than "-d.dddddddddddde-ddd", and ParseNumber reads it back
// exactly as strtod does.
#include "calc/number_text.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t kLongest = 20; // "-d.dddddddddddde-ddd"

// The text "%.13g" gives on the Windows C runtime, built from glibc's exact expansion of x.
std::string Expected(double x) {
    if (x == 0) {
        return "0";
    }
    static char exact[1024];
    std::snprintf(exact, sizeof exact, "%.800e", x); // exact: no double has more than 767 digits
    const char* p = exact;
    std::string sign;
    if (*p == '-') {
        sign = "-";
        ++p;
    }
    std::string digits(1, *p++);
    ++p; // the point
    while (*p != 'e') {
        digits.push_back(*p++);
    }
    int e10 = std::atoi(p + 1);

    std::string d = digits.substr(0, 13);
    if (digits[13] >= '5') { // an exact half has '5' then only zeros: away from zero too
        int i = 12;
        while (i >= 0 && d[i] == '9') {
            d[i--] = '0';
        }
        if (i < 0) {
            d = "1000000000000";
            ++e10;
        } else {
            ++d[i];
        }
    }
    while (d.size() > 1 && d.back() == '0') {
        d.pop_back();
    }

    if (e10 < -4 || e10 >= 13) {
        std::string out = sign + d[0];
        if (d.size() > 1) {
            out += "." + d.substr(1);
        }
        char exponent[16];
        std::snprintf(exponent, sizeof exponent, "e%c%03d", e10 < 0 ? '-' : '+', std::abs(e10));
        return out + exponent;
    }
    if (e10 < 0) {
        return sign + "0." + std::string(static_cast<std::size_t>(-e10 - 1), '0') + d;
    }
    const std::size_t whole = static_cast<std::size_t>(e10) + 1;
    if (d.size() <= whole) {
        return sign + d + std::string(whole - d.size(), '0');
    }
    return sign + d.substr(0, whole) + "." + d.substr(whole);
}

void Check(double x) {
    if (!std::isfinite(x)) {
        return;
    }
    const std::string text = trigora::calc::FormatNumber(x);
    const std::string want = Expected(x);
    const double back = trigora::calc::ParseNumber(text);
    const double strtodBack = std::strtod(text.c_str(), nullptr);
    if (text != want || text.size() > kLongest || std::memcmp(&back, &strtodBack, sizeof back) != 0) {
        std::fprintf(stderr, "FormatNumber(%a) = \"%s\", want \"%s\"; read back %.17g, strtod %.17g\n", x,
                     text.c_str(), want.c_str(), back, strtodBack);
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The bytes as a double's bits reach every exponent; as a text they reach the decimals near a
    // rounding tie (1234567890123.5 and the like), which random bits almost never hit.
    if (size >= sizeof(double)) {
        double x;
        std::memcpy(&x, data, sizeof x);
        Check(x);
    }
    Check(trigora::calc::ParseNumber(std::string_view(reinterpret_cast<const char*>(data), size)));
    return 0;
}
