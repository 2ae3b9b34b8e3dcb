// Decoder speed: our LZMA decoder against liblzma on the same streams (the 29 stored skins and a
// 64 MiB mixed corpus), timed and counted in instructions under callgrind.
//   lzma_speed SKIN_DIR CACHE_DIR            timings; lines "S|..." are summary rows, the rest detail
//   lzma_speed --count ours|liblzma SKIN_DIR CACHE_DIR
//                                            decodes the skins and a 4 MiB corpus once, collecting
//                                            callgrind instructions around the decoding calls only
// The encoded corpus is kept in CACHE_DIR: encoding 64 MiB costs a minute, decoding it a second.
#include "host_lzma.h"
#include "lzma_decoder.h"
#include "skin_reader.h"

#include <lzma.h>
#include <valgrind/callgrind.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
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

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "lzma_speed: %s\n", what.c_str());
    std::exit(1);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path + ".part", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out || std::rename((path + ".part").c_str(), path.c_str()) != 0) {
        Fail("cannot write " + path);
    }
}

struct Stream {
    std::string name;
    Bytes stream; // raw LZMA1, lc 3 lp 0 pb 2
    std::size_t outSize = 0;
};

std::vector<Stream> LoadSkins(const std::string& dir) {
    std::vector<Stream> skins;
    for (int i = 0; i < 29; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%02d.she", i);
        const Bytes file = ReadFile(dir + "/" + name);
        if (file.size() < trigora::skin::kSkinFileHeaderSize) {
            Fail("cannot read " + dir + "/" + name);
        }
        const std::uint32_t expanded =
            file[6] | (file[7] << 8) | (file[8] << 16) | (std::uint32_t(file[9]) << 24);
        skins.push_back(
            {name, Bytes(file.begin() + trigora::skin::kSkinFileHeaderSize, file.end()), expanded});
    }
    return skins;
}

// Deterministic mixed content in 64 KiB blocks: text-like (words of a small vocabulary, skewed
// towards the common ones), pixel-like (BGRA gradients with noise and hard edges) and random bytes,
// about 45 : 40 : 15.
Bytes MixedCorpus(std::size_t size) {
    static const char* const kWords[] = {
        "the",    "of",      "angle",  "radian", "degree", "and",   "sin",     "cos",    "a",
        "to",     "is",      "in",     "window", "skin",   "value", "minute",  "second", "circle",
        "arc",    "length",  "radius", "which",  "that",   "for",   "tangent", "turn",   "half",
        "number", "written", "with",   "as",     "it",     "by",    "right",   "unit",   "measure"};
    constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];
    constexpr std::size_t kBlock = 64 * 1024;
    Bytes out;
    out.reserve(size);
    std::uint64_t s = 0x9e3779b97f4a7c15u; // xorshift64*: the same bytes on every machine
    auto next = [&s] {
        s ^= s >> 12;
        s ^= s << 25;
        s ^= s >> 27;
        return static_cast<std::uint32_t>((s * 0x2545f4914f6cdd1du) >> 32);
    };
    for (std::size_t block = 0; out.size() < size; ++block) {
        const std::size_t end = std::min(size, out.size() + kBlock);
        const std::uint32_t kind = next() % 20;
        if (kind < 9) {
            while (out.size() < end) {
                // min of two draws skews towards the first words, as word frequencies do
                const std::size_t w = std::min(next() % kWordCount, next() % kWordCount);
                for (const char* c = kWords[w]; *c != '\0' && out.size() < end; ++c) {
                    out.push_back(static_cast<std::uint8_t>(*c));
                }
                if (out.size() < end) {
                    out.push_back(next() % 12 == 0 ? '\n' : ' ');
                }
            }
        } else if (kind < 17) {
            const std::uint32_t width = 64 + next() % 256;
            const std::uint32_t base[3] = {next() % 256, next() % 256, next() % 256};
            for (std::uint32_t px = 0; out.size() < end; ++px) {
                const std::uint32_t x = px % width;
                const std::uint32_t y = px / width;
                const bool edge = x == width / 3 || y % 40 == 0;
                for (std::uint32_t c = 0; c < 3 && out.size() < end; ++c) {
                    const std::uint32_t noise = next() % 8 == 0 ? next() % 6 : 0;
                    const std::uint32_t v = edge ? 40 : base[c] + x * (c + 1) / 4 + y / 2 + noise;
                    out.push_back(static_cast<std::uint8_t>(v));
                }
                if (out.size() < end) {
                    out.push_back(255);
                }
            }
        } else {
            while (out.size() < end) {
                out.push_back(static_cast<std::uint8_t>(next()));
            }
        }
    }
    return out;
}

// The corpus and its stream, from the cache when it holds them.
Stream LoadCorpus(const std::string& cacheDir, std::size_t size) {
    const std::string path = cacheDir + "/corpus-v1-" + std::to_string(size >> 20) + "MiB.lzma";
    Stream corpus{std::to_string(size >> 20) + " MiB mixed corpus", ReadFile(path), size};
    if (corpus.stream.empty()) {
        const Bytes content = MixedCorpus(size);
        trigora::hostlzma::EncodeOptions options;
        options.preset = 6;
        options.dictSize = 1u << 23;
        corpus.stream = trigora::hostlzma::Encode(content, options);
        WriteFile(path, corpus.stream);
    }
    return corpus;
}

bool DecodeOurs(const Stream& s, std::uint8_t* out) {
    return trigora::lzma::Decode({}, s.stream.data(), s.stream.size(), out, s.outSize).error ==
           trigora::lzma::Error::None;
}

// liblzma set up as favourably as it allows: a dictionary no larger than the output, decoding
// straight into the caller's buffer.
bool DecodeLiblzma(const Stream& s, std::uint8_t* out) {
    lzma_options_lzma opt{};
    lzma_lzma_preset(&opt, 6);
    opt.lc = 3;
    opt.lp = 0;
    opt.pb = 2;
    opt.dict_size = static_cast<std::uint32_t>(std::max<std::size_t>(s.outSize, LZMA_DICT_SIZE_MIN));
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream st = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&st, filters) != LZMA_OK) {
        return false;
    }
    st.next_in = s.stream.data();
    st.avail_in = s.stream.size();
    st.next_out = out;
    st.avail_out = s.outSize;
    const lzma_ret r = lzma_code(&st, LZMA_RUN);
    const bool ok = (r == LZMA_OK || r == LZMA_STREAM_END) && st.total_out == s.outSize;
    lzma_end(&st);
    return ok;
}

std::size_t OutBytes(const std::vector<Stream>& set) {
    std::size_t n = 0;
    for (const Stream& s : set) {
        n += s.outSize;
    }
    return n;
}

std::size_t InBytes(const std::vector<Stream>& set) {
    std::size_t n = 0;
    for (const Stream& s : set) {
        n += s.stream.size();
    }
    return n;
}

struct Rates {
    double ours = 0;   // MB/s of decoded output
    double theirs = 0; // MB/s
};

// Rounds alternate the two decoders so that a change of machine load hits both; each keeps its
// fastest round.
Rates Measure(const std::vector<Stream>& set, int rounds) {
    Bytes buffer(std::max_element(set.begin(), set.end(), [](const Stream& a, const Stream& b) {
                     return a.outSize < b.outSize;
                 })->outSize);
    double bestOurs = 1e30;
    double bestTheirs = 1e30;
    for (int round = 0; round < rounds; ++round) {
        double t0 = Now();
        for (const Stream& s : set) {
            if (!DecodeOurs(s, buffer.data())) {
                Fail("our decoder refused " + s.name);
            }
        }
        bestOurs = std::min(bestOurs, Now() - t0);
        t0 = Now();
        for (const Stream& s : set) {
            if (!DecodeLiblzma(s, buffer.data())) {
                Fail("liblzma refused " + s.name);
            }
        }
        bestTheirs = std::min(bestTheirs, Now() - t0);
    }
    const double bytes = static_cast<double>(OutBytes(set));
    return {bytes / bestOurs / 1e6, bytes / bestTheirs / 1e6};
}

// Both decoders must give the same bytes, or the speeds compare nothing.
void CheckSame(const std::vector<Stream>& set) {
    for (const Stream& s : set) {
        Bytes a(s.outSize);
        Bytes b(s.outSize);
        if (!DecodeOurs(s, a.data()) || !DecodeLiblzma(s, b.data()) || a != b) {
            Fail("the decoders disagree on " + s.name);
        }
    }
}

int Count(const std::string& which, const std::string& skinDir, const std::string& cacheDir) {
    std::vector<Stream> set = LoadSkins(skinDir);
    set.push_back(LoadCorpus(cacheDir, 4u << 20));
    const bool ours = which == "ours";
    if (!ours && which != "liblzma") {
        Fail("--count takes ours or liblzma");
    }
    Bytes buffer(8u << 20);
    bool ok = true;
    for (const Stream& s : set) {
        CALLGRIND_TOGGLE_COLLECT;
        ok = (ours ? DecodeOurs(s, buffer.data()) : DecodeLiblzma(s, buffer.data())) && ok;
        CALLGRIND_TOGGLE_COLLECT;
    }
    std::printf("%zu\n", OutBytes(set));
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--count") == 0) {
        return Count(argv[2], argv[3], argv[4]);
    }
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: lzma_speed SKIN_DIR CACHE_DIR | --count ours|liblzma SKIN_DIR CACHE_DIR\n");
        return 2;
    }
    const std::vector<Stream> skins = LoadSkins(argv[1]);
    const std::vector<Stream> corpus = {LoadCorpus(argv[2], 64u << 20)};
    CheckSame(skins);
    CheckSame(corpus);

    const Rates all = Measure(skins, 15);
    const Rates big = Measure(corpus, 5);
    std::printf("S|LZMA decoding, 29 stored skins (%zu -> %zu bytes), MB/s|%.1f|%.1f (liblzma)|%.2f\n",
                InBytes(skins), OutBytes(skins), all.ours, all.theirs, all.ours / all.theirs);
    std::printf("S|LZMA decoding, %s (%zu -> %zu bytes), MB/s|%.1f|%.1f (liblzma)|%.2f\n",
                corpus[0].name.c_str(), InBytes(corpus), OutBytes(corpus), big.ours, big.theirs,
                big.ours / big.theirs);

    std::printf("| skin | stored | expanded | ours MB/s | liblzma MB/s | ours/liblzma |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    for (const Stream& s : skins) {
        const Rates r = Measure({s}, 15);
        std::printf("| %s | %zu | %zu | %.1f | %.1f | %.2f |\n", s.name.c_str(), s.stream.size() + 15,
                    s.outSize, r.ours, r.theirs, r.ours / r.theirs);
    }
    return 0;
}
