// liblzma's raw LZMA1 encoder and decoder behind two plain functions.
#include "host_lzma.h"

#include <lzma.h>

#include <stdexcept>
#include <string>

namespace trigora::hostlzma {
namespace {

struct Stream {
    lzma_stream s = LZMA_STREAM_INIT;
    ~Stream() { lzma_end(&s); }
};

} // namespace

std::vector<std::uint8_t> Encode(std::span<const std::uint8_t> data, const EncodeOptions& options) {
    lzma_options_lzma opt{};
    if (lzma_lzma_preset(&opt, options.preset) != 0) {
        throw std::runtime_error("liblzma: bad preset");
    }
    opt.lc = options.lc;
    opt.lp = options.lp;
    opt.pb = options.pb;
    opt.dict_size = options.dictSize;
    opt.ext_flags = options.endMarker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
    lzma_set_ext_size(opt, data.size());
    lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};

    Stream st;
    if (lzma_ret r = lzma_raw_encoder(&st.s, filters); r != LZMA_OK) {
        throw std::runtime_error("liblzma: encoder init failed, code " + std::to_string(r));
    }
    std::vector<std::uint8_t> out(data.size() + data.size() / 8 + 1024);
    st.s.next_in = data.data();
    st.s.avail_in = data.size();
    st.s.next_out = out.data();
    st.s.avail_out = out.size();
    for (;;) {
        lzma_ret r = lzma_code(&st.s, LZMA_FINISH);
        if (r == LZMA_STREAM_END) {
            break;
        }
        if (r != LZMA_OK) {
            throw std::runtime_error("liblzma: encoding failed, code " + std::to_string(r));
        }
        if (st.s.avail_out == 0) {
            const std::size_t used = out.size();
            out.resize(out.size() * 2);
            st.s.next_out = out.data() + used;
            st.s.avail_out = out.size() - used;
        }
    }
    out.resize(st.s.total_out);
    return out;
}

std::optional<std::vector<std::uint8_t>> Decode(std::span<const std::uint8_t> stream, std::size_t outSize,
                                                std::uint32_t lc, std::uint32_t lp, std::uint32_t pb) {
    lzma_options_lzma opt{};
    lzma_lzma_preset(&opt, 6);
    opt.lc = lc;
    opt.lp = lp;
    opt.pb = pb;
    opt.dict_size = 1u << 23;
    opt.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    lzma_set_ext_size(opt, outSize);
    lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};

    Stream st;
    if (lzma_raw_decoder(&st.s, filters) != LZMA_OK) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> out(outSize);
    st.s.next_in = stream.data();
    st.s.avail_in = stream.size();
    st.s.next_out = out.data();
    st.s.avail_out = out.size();
    lzma_ret r = lzma_code(&st.s, LZMA_FINISH);
    // Padding after the stream is not liblzma's to judge: done once the size is reached.
    if (r != LZMA_STREAM_END && !(r == LZMA_OK && st.s.total_out == outSize)) {
        return std::nullopt;
    }
    if (st.s.total_out != outSize) {
        return std::nullopt;
    }
    return out;
}

} // namespace trigora::hostlzma
