// Reading numbers from the texts the user types and writing results back, the same on every C runtime.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trigora::calc {

// The calculator's two messages, written in place of a number (GBK bytes).
inline constexpr std::string_view kInfiniteMessage = "无穷数...！";
inline constexpr std::string_view kUndefinedMessage = "超出定义";

// Replaces the GBK full-width forms by their ASCII bytes (A3 xx -> xx - 0x80, the ideographic
// space by a space, A1 AB by '~', A1 EE and A1 EF by '*'); other characters stay. A lone lead
// byte at the end is dropped.
std::string FoldFullWidth(std::string_view gbk);

// The number at the start of a GBK text, rounded to the nearest double: leading white space,
// an optional sign, digits with at most one '.', an optional exponent (e, E, d or D, optional
// sign, digits). Anything after the number is ignored; a text without a digit reads as 0.
// Never fails: overflow gives an infinity, underflow zero.
double ParseNumber(std::string_view text);

// A finite x written as "%.13g" does on the Windows C runtime: 13 significant digits, correctly
// rounded (an exact half rounds away from zero), trailing zeros dropped, exponent form with at
// least three exponent digits when the exponent is below -4 or at least 13. Negative zero is "0".
// Not meant for infinities and NaN (see FormatResult).
std::string FormatNumber(double x);

// What a result box shows for x: FormatNumber for a finite x, kInfiniteMessage for an infinity,
// kUndefinedMessage for a NaN.
std::string FormatResult(double x);

// x itself, or the whole number next to it away from zero when x is within 1e-12 of it.
double NearWholeSnap(double x);

// The integer part of NearWholeSnap(x), toward zero or down; nothing when x is not finite or the
// result does not fit in 32 bits.
std::optional<int32_t> WholePartTowardZero(double x);
std::optional<int32_t> WholePartDown(double x);

// x rounded to `places` decimal places (negative places: tens, hundreds, ...), half away from
// zero, after a nudge of 1e-12 on the scaled magnitude so that 1.005 gives 1.01.
double RoundToPlaces(double x, int32_t places = 0);

// 10 to the power n, correctly rounded (0 or infinity outside the double range).
double PowerOfTen(int32_t n);

} // namespace trigora::calc
