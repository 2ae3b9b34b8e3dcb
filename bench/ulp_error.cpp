// Measures the largest error in ulps of AccurateSin/Cos/Atan/Sqrt (and of glibc's) against __float128.
#include <quadmath.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "calc/angle.h"
#include "calc/elementary.h"

namespace {

using namespace trigora::calc;

using Quad = __float128;

// |actual - reference| in units of the last place of a double next to the reference.
double UlpError(double actual, Quad reference) {
    if (std::isnan(actual) || isnanq(reference)) {
        return std::isnan(actual) && isnanq(reference) ? 0 : std::numeric_limits<double>::infinity();
    }
    int exponent = 0;
    frexpq(reference, &exponent); // |reference| in [2^(exponent-1), 2^exponent)
    int ulpExponent = exponent - 1 - 52;
    if (ulpExponent < -1074) {
        ulpExponent = -1074;
    }
    const Quad ulp = ldexpq(1, ulpExponent);
    return static_cast<double>(fabsq(static_cast<Quad>(actual) - reference) / ulp);
}

struct Worst {
    double error = 0;
    double argument = 0;
    void Add(double e, double x) {
        if (e > error) {
            error = e;
            argument = x;
        }
    }
};

double FromBits(uint64_t b) {
    return std::bit_cast<double>(b);
}

double Uniform(std::mt19937_64& random, double low, double high) {
    return low + (high - low) * std::ldexp(static_cast<double>(random() >> 11), -53);
}

double LogUniform(std::mt19937_64& random, double low, double high) {
    return std::exp(Uniform(random, std::log(low), std::log(high)));
}

void AddNeighbours(std::vector<double>& out, double x, int steps) {
    double up = x;
    double down = x;
    out.push_back(x);
    for (int i = 0; i < steps; ++i) {
        up = std::nextafter(up, INFINITY);
        down = std::nextafter(down, -INFINITY);
        out.push_back(up);
        out.push_back(down);
    }
}

std::vector<double> TrigArguments(std::mt19937_64& random) {
    std::vector<double> args;
    for (int i = 0; i < 400000; ++i) { // radians as typed
        args.push_back(Uniform(random, -1000, 1000));
    }
    for (int i = 0; i < 200000; ++i) { // degrees as typed, converted with ANGLE_PI
        args.push_back(DegreesToRadians(Uniform(random, -1e6, 1e6)));
    }
    for (int i = 0; i < 20000; ++i) { // near multiples of pi/2 (and of ANGLE_PI/2)
        const double k = static_cast<double>(random() % 2000000);
        AddNeighbours(args, k * 1.5707963267948966, 5);
        AddNeighbours(args, k * ANGLE_HALF_PI, 2);
    }
    for (int i = 0; i < 200000; ++i) { // any finite double, up to 1.8e308
        args.push_back(FromBits(random() & 0xFFEFFFFFFFFFFFFFull));
    }
    for (int i = 0; i < 100000; ++i) { // large magnitudes, evenly over the exponents
        args.push_back(LogUniform(random, 1e3, 1e308) * ((random() & 1) != 0 ? 1 : -1));
    }
    // The double closest to a multiple of pi/2 (the hardest case for any reduction), and 1e22.
    AddNeighbours(args, std::ldexp(6381956970095103.0, 797), 1000);
    AddNeighbours(args, 1e22, 1000);
    AddNeighbours(args, 3.1415926535, 1000);
    AddNeighbours(args, 1.57079632675, 1000);
    return args;
}

std::vector<double> AtanArguments(std::mt19937_64& random) {
    std::vector<double> args;
    for (int i = 0; i < 500000; ++i) {
        args.push_back(Uniform(random, -10, 10));
    }
    for (int i = 0; i < 300000; ++i) {
        args.push_back(FromBits(random() & 0xFFEFFFFFFFFFFFFFull));
    }
    for (int i = 0; i < 200000; ++i) {
        args.push_back(LogUniform(random, 1e-10, 1e20) * ((random() & 1) != 0 ? 1 : -1));
    }
    // The edges of the argument ranges of the polynomial.
    for (double edge : {0.4375, 0.6875, 1.1875, 2.4375, 7.450580596923828e-09, 7.378697629483821e+19}) {
        AddNeighbours(args, edge, 2000);
        AddNeighbours(args, -edge, 2000);
    }
    return args;
}

void Report(const char* name, size_t count, const Worst& ours, const Worst& libm) {
    std::printf("%-5s %8zu arguments  max error %.4f ulp at %.17g   (glibc: %.4f ulp at %.17g)\n", name,
                count, ours.error, ours.argument, libm.error, libm.argument);
}

} // namespace

int main() {
    std::mt19937_64 random(2024);

    const std::vector<double> trig = TrigArguments(random);
    Worst sinOurs, sinLibm, cosOurs, cosLibm;
    for (double x : trig) {
        const Quad q = x;
        const Quad s = sinq(q);
        const Quad c = cosq(q);
        sinOurs.Add(UlpError(AccurateSin(x), s), x);
        sinLibm.Add(UlpError(std::sin(x), s), x);
        cosOurs.Add(UlpError(AccurateCos(x), c), x);
        cosLibm.Add(UlpError(std::cos(x), c), x);
    }
    Report("sin", trig.size(), sinOurs, sinLibm);
    Report("cos", trig.size(), cosOurs, cosLibm);

    const std::vector<double> atanArgs = AtanArguments(random);
    Worst atanOurs, atanLibm;
    for (double x : atanArgs) {
        const Quad a = atanq(static_cast<Quad>(x));
        atanOurs.Add(UlpError(AccurateAtan(x), a), x);
        atanLibm.Add(UlpError(std::atan(x), a), x);
    }
    Report("atan", atanArgs.size(), atanOurs, atanLibm);

    Worst sqrtOurs, sqrtLibm;
    size_t sqrtCount = 0;
    for (int i = 0; i < 1000000; ++i) {
        const double x = FromBits(random() & 0x7FEFFFFFFFFFFFFFull);
        const Quad r = sqrtq(static_cast<Quad>(x));
        sqrtOurs.Add(UlpError(AccurateSqrt(x), r), x);
        sqrtLibm.Add(UlpError(std::sqrt(x), r), x);
        ++sqrtCount;
    }
    Report("sqrt", sqrtCount, sqrtOurs, sqrtLibm);

    // Below one ulp everywhere is what the calculator needs.
    const bool ok = sinOurs.error < 1 && cosOurs.error < 1 && atanOurs.error < 1 && sqrtOurs.error <= 0.5;
    std::printf("%s\n", ok ? "all within 1 ulp" : "ERROR: above 1 ulp");
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
