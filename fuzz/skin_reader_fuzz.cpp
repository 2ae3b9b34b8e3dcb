// libFuzzer target: arbitrary bytes through the skin reader, the content parser and the decoder.
#include "lzma_decoder.h"
#include "skin_format.h"
#include "skin_reader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);

    // As a stored file: header, stream, content.
    const trigora::skin::SkinResult file = trigora::skin::ReadSkinFile(bytes);
    if (!file.skin && file.error.empty()) {
        __builtin_trap(); // a refusal always says why
    }

    // As content straight away, with its size and checksum made right, so the chunk parser is
    // reached without the fuzzer having to get past the stream and the CRC first.
    (void)trigora::skin::ParseSkin(bytes);
    if (size >= trigora::skin::kContentHeaderSize) {
        std::vector<std::uint8_t> content(data, data + size);
        const std::uint32_t crc =
            trigora::skin::Crc32(std::span(content).subspan(trigora::skin::kContentHeaderSize));
        for (int i = 0; i < 4; ++i) {
            content[8 + i] = static_cast<std::uint8_t>(size >> (8 * i));
            content[12 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        }
        (void)trigora::skin::ParseSkin(content);
    }

    // As a bare stream, decoded to a size taken from the first two bytes.
    if (size >= 2) {
        std::vector<std::uint8_t> out(std::size_t{data[0]} << 8 | data[1]);
        const auto r = trigora::lzma::Decode({}, data + 2, size - 2, out.data(), out.size());
        if (r.error == trigora::lzma::Error::None && r.inputUsed > size - 2) {
            __builtin_trap();
        }
    }
    return 0;
}
