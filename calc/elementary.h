// Sine, cosine, arctangent and square root within one ulp for every double, independent of the C runtime.
#pragma once

namespace trigora::calc {

// The 32-bit Windows runtime computes sin and cos with the x87 fsin/fcos, whose built-in pi is
// only 66 bits long: near multiples of pi their results lose most of their digits. These work on
// doubles alone (SSE2 on the shipped program), with an exact argument reduction for any size.
// Infinities and NaN give NaN, as the C functions do.
double AccurateSin(double x);
double AccurateCos(double x);
// Radians strictly between -pi/2 and pi/2 (full-precision pi); +-pi/2 rounded for infinities.
double AccurateAtan(double x);
// The IEEE square root (exact rounding); NaN below zero.
double AccurateSqrt(double x);

} // namespace trigora::calc
