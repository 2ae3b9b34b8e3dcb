// Decoder speed: our LZMA decoder against liblzma on the largest stored skin (银白, 17.she) and,
// since that one is mostly padding, on a payload of skin-like mixed content as well.
#include "host_lzma.h"
#include "lzma_decoder.h"
#include "skin_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <span>
#include <string>
#include <vector>

#include <time.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// <chrono> does not compile with the GBK execution charset (its "µs" literal), so: POSIX clocks.
double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Best of several runs, in MB/s of decoded output.
template <typename F> double Rate(std::size_t outBytes, int runs, F&& decode) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double t0 = Now();
        if (!decode()) {
            std::fprintf(stderr, "decode failed\n");
            std::exit(1);
        }
        best = std::min(best, Now() - t0);
    }
    return outBytes / best / 1e6;
}

void Compare(const char* what, std::span<const std::uint8_t> stream, std::size_t outSize, int runs) {
    Bytes out(outSize);
    const double ours = Rate(outSize, runs, [&] {
        return trigora::lzma::Decode({}, stream.data(), stream.size(), out.data(), out.size()).error ==
               trigora::lzma::Error::None;
    });
    const double theirs =
        Rate(outSize, runs, [&] { return trigora::hostlzma::Decode(stream, outSize).has_value(); });
    std::printf("%-40s %9zu -> %9zu bytes   ours %8.1f MB/s   liblzma %8.1f MB/s   ours/liblzma %.2f\n", what,
                stream.size(), outSize, ours, theirs, ours / theirs);
}

} // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : TRIGORA_SKIN_DIR "/17.she";
    std::ifstream in(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < trigora::skin::kSkinFileHeaderSize) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    const std::uint32_t expanded =
        file[6] | (file[7] << 8) | (file[8] << 16) | (std::uint32_t(file[9]) << 24);
    Compare("largest skin (17.she)", std::span(file).subspan(trigora::skin::kSkinFileHeaderSize), expanded,
            50);

    // Skin-like content without the padding: gradients, anti-aliased edges and some noise.
    Bytes mixed(4u << 20);
    std::mt19937 rng(1);
    for (std::size_t i = 0; i < mixed.size(); ++i) {
        const std::size_t px = i / 4;
        mixed[i] =
            static_cast<std::uint8_t>((px % 97) * 2 + (px / 4096) + ((rng() % 16 == 0) ? rng() % 8 : 0));
    }
    const Bytes stream = trigora::hostlzma::Encode(mixed);
    Compare("4 MiB gradient-and-noise pixels", stream, mixed.size(), 5);
    return 0;
}
