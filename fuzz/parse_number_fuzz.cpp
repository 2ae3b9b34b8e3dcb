// libFuzzer target: ParseNumber on arbitrary GBK bytes reads the same double as strtod does on the
// number it should have found: white space, sign, digits with one point, an e/E/d/D exponent.
#include "calc/number_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number at the start of an ASCII text in the form strtod reads, and whether it has a digit.
std::string NumberPrefix(const std::string& text, bool& anyDigit) {
    std::size_t i = 0;
    while (i < text.size() && std::strchr(" \t\n\v\f\r", text[i]) != nullptr && text[i] != '\0') {
        ++i;
    }
    std::string out;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        out.push_back(text[i++]);
    }
    bool point = false;
    anyDigit = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && !point) {
            point = true;
        } else if (IsDigit(text[i])) {
            anyDigit = true;
        } else {
            break;
        }
        out.push_back(text[i]);
    }
    if (i < text.size() && std::strchr("eEdD", text[i]) != nullptr && text[i] != '\0') {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            exponent.push_back(text[j++]);
        }
        if (j < text.size() && IsDigit(text[j])) {
            for (; j < text.size() && IsDigit(text[j]); ++j) {
                exponent.push_back(text[j]);
            }
            out += exponent;
        }
    }
    return out;
}

[[noreturn]] void Fault(const std::string& text, double got, double want) {
    std::fprintf(stderr, "ParseNumber(\"%s\") = %.17g, strtod reads %.17g\n", text.c_str(), got, want);
    __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double got = trigora::calc::ParseNumber(text);

    // Full-width digits and signs read as their ASCII forms; the folding has its own unit tests.
    bool anyDigit = false;
    const std::string number = NumberPrefix(trigora::calc::FoldFullWidth(text), anyDigit);
    if (!anyDigit) {
        if (got != 0.0) {
            Fault(number, got, 0.0);
        }
        return 0;
    }
    const double want = std::strtod(number.c_str(), nullptr);
    if (std::memcmp(&got, &want, sizeof got) != 0) {
        Fault(number, got, want);
    }
    return 0;
}
