// Number texts: FormatNumber against snprintf("%.13g") and ParseNumber against strtod, ns per call.
// Lines "S|..." are summary rows for bench/run.
#include "calc/number_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <time.h>

namespace {

double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

std::uint64_t g_state = 0x243f6a8885a308d3u;
std::uint64_t Next() {
    g_state ^= g_state >> 12;
    g_state ^= g_state << 25;
    g_state ^= g_state >> 27;
    return g_state * 0x2545f4914f6cdd1du;
}

// What the calculator writes and reads: results of full precision over many magnitudes (sines,
// tangents near a pole, tiny differences), and the short numbers people type.
std::vector<double> Values(std::size_t n) {
    std::vector<double> v;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t r = Next();
        switch (i % 4) {
        case 0:
        case 1: { // full 53-bit mantissa, decimal exponent -30 ... 30
            const double mantissa = 1.0 + static_cast<double>(r >> 11) / 9007199254740992.0;
            const int e10 = static_cast<int>((r >> 3) % 61) - 30;
            v.push_back((r & 1 ? -1 : 1) * mantissa * trigora::calc::PowerOfTen(e10));
            break;
        }
        case 2: // whole degrees
            v.push_back(static_cast<double>(r % 721) - 360);
            break;
        default: // one to four decimals
            v.push_back(static_cast<double>(r % 100000) /
                        trigora::calc::PowerOfTen(1 + static_cast<int>(r >> 60) % 4));
        }
    }
    return v;
}

volatile std::size_t g_sink;

struct Timing {
    double ours = 1e30; // seconds per call, best round
    double theirs = 1e30;
};

// Rounds alternate ours and the reference, so a change of load hits both; each keeps its best.
template <typename Ours, typename Theirs> Timing Measure(std::size_t calls, Ours&& ours, Theirs&& theirs) {
    Timing t;
    for (int round = 0; round < 31; ++round) {
        double t0 = Now();
        g_sink = g_sink + ours();
        t.ours = std::min(t.ours, (Now() - t0) / calls);
        t0 = Now();
        g_sink = g_sink + theirs();
        t.theirs = std::min(t.theirs, (Now() - t0) / calls);
    }
    return t;
}

void Row(const char* what, const char* reference, const Timing& t) {
    std::printf("S|%s, ns per call|%.1f|%.1f (%s)|%.2f\n", what, t.ours * 1e9, t.theirs * 1e9, reference,
                t.ours / t.theirs);
}

} // namespace

int main() {
    const std::vector<double> values = Values(4096);
    constexpr int kRepeats = 8;
    const std::size_t calls = values.size() * kRepeats;

    const Timing format = Measure(
        calls,
        [&] {
            std::size_t n = 0;
            for (int k = 0; k < kRepeats; ++k) {
                for (double x : values) {
                    n += trigora::calc::FormatNumber(x).size();
                }
            }
            return n;
        },
        [&] {
            std::size_t n = 0;
            char buffer[40];
            for (int k = 0; k < kRepeats; ++k) {
                for (double x : values) {
                    n += static_cast<std::size_t>(std::snprintf(buffer, sizeof buffer, "%.13g", x));
                }
            }
            return n;
        });
    Row("FormatNumber (4096 results and typed values)", "snprintf %.13g", format);

    std::vector<std::string> texts;
    for (double x : values) {
        texts.push_back(trigora::calc::FormatNumber(x));
    }
    const Timing parse = Measure(
        calls,
        [&] {
            std::size_t n = 0;
            for (int k = 0; k < kRepeats; ++k) {
                for (const std::string& s : texts) {
                    n += static_cast<std::size_t>(trigora::calc::ParseNumber(s) > 0);
                }
            }
            return n;
        },
        [&] {
            std::size_t n = 0;
            for (int k = 0; k < kRepeats; ++k) {
                for (const std::string& s : texts) {
                    n += static_cast<std::size_t>(std::strtod(s.c_str(), nullptr) > 0);
                }
            }
            return n;
        });
    Row("ParseNumber (the same values as written)", "strtod", parse);

    // The two must read the texts alike, or the timings compare nothing.
    for (const std::string& s : texts) {
        if (trigora::calc::ParseNumber(s) != std::strtod(s.c_str(), nullptr)) {
            std::fprintf(stderr, "number_speed: ParseNumber and strtod differ on %s\n", s.c_str());
            return 1;
        }
    }
    return 0;
}
