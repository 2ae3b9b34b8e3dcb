// Host tool: turns the skin sources into the 29 stored skin files, each of its catalogue sizes.
//   skin_generator OUT_DIR BASE_SOURCE SKIN_SOURCE...   (one source per catalogue entry, in order)
// SKIN_GEN_TRACE=1 in the environment shows how each file's size was reached.
#include "host_lzma.h"
#include "skin_format.h"
#include "skin_reader.h"
#include "skin_source.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace trigora;
using Bytes = std::vector<std::uint8_t>;

Bytes Filler(std::size_t n, unsigned seed) {
    Bytes b(n);
    std::uint32_t x = 0x9E3779B9u ^ (seed * 2654435761u);
    for (auto& v : b) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v = static_cast<std::uint8_t>(x >> 24);
    }
    return b;
}

// The stored file for a skin: header, stream, then zero padding up to the stored size. The
// content's padding chunk carries some incompressible filler, grown until the stream is just
// short of the stored size, so the file is almost all stream and barely any padding.
Bytes MakeStoredFile(const skintool::SkinSource& src, unsigned seed) {
    const std::string who = "skin \"" + src.displayName + "\": ";
    if (src.expandedSize > skin::kMaxExpandedSize) {
        throw std::runtime_error(who + "expanded size above the reader's limit");
    }
    if (src.storedSize <= skin::kSkinFileHeaderSize + 5) {
        throw std::runtime_error(who + "stored size too small for any stream");
    }
    const std::size_t target = src.storedSize - skin::kSkinFileHeaderSize;
    const auto plain = skin::SerializeSkin(src.skin);
    if (!plain) {
        throw std::runtime_error(who + "the skin cannot be stored (an image or name out of bounds)");
    }
    const std::size_t room = src.expandedSize >= plain->size() + skin::kChunkHeaderSize
                                 ? src.expandedSize - plain->size() - skin::kChunkHeaderSize
                                 : 0;
    if (plain->size() != src.expandedSize && room == 0) {
        throw std::runtime_error(who + "content needs " +
                                 std::to_string(plain->size() + skin::kChunkHeaderSize) +
                                 " bytes, more than the expanded size " + std::to_string(src.expandedSize));
    }
    std::size_t filler = 0;
    Bytes best;
    for (int round = 0; round < 16; ++round) {
        const auto content = skin::SerializeSkin(src.skin, src.expandedSize, Filler(filler, seed));
        if (!content) {
            throw std::runtime_error(who + "cannot pad the content to " + std::to_string(src.expandedSize));
        }
        Bytes stream = hostlzma::Encode(*content);
        if (std::getenv("SKIN_GEN_TRACE")) {
            std::cerr << who << "filler " << filler << " -> " << stream.size() << " of " << target << "\n";
        }
        const std::size_t size = stream.size();
        if (size <= target) {
            best = std::move(stream);
            if (target - best.size() <= 16) {
                break;
            }
        } else if (filler == 0) {
            throw std::runtime_error(who + "compressed content is " + std::to_string(size) +
                                     " bytes, more than the stored size allows (" + std::to_string(target) +
                                     ")");
        }
        // Filler costs about a byte per byte; step towards the target from below.
        const long gap = static_cast<long>(target) - static_cast<long>(size);
        const long step = gap > 0 ? gap - 4 : gap - 8;
        const long next = static_cast<long>(filler) + (step == 0 ? 1 : step);
        filler = static_cast<std::size_t>(std::clamp(next, 0L, static_cast<long>(room)));
    }
    if (best.empty()) {
        throw std::runtime_error(who + "could not fit the stream into " + std::to_string(target) + " bytes");
    }
    Bytes file = skin::SkinFileHeader(src.expandedSize);
    file.insert(file.end(), best.begin(), best.end());
    file.resize(src.storedSize, 0);

    // What we write must read back, with our own decoder, as the very skin we drew.
    const skin::SkinResult back = skin::ReadSkinFile(file);
    if (!back.skin || !(*back.skin == src.skin)) {
        throw std::runtime_error(who + "written file does not read back: " + back.error);
    }
    return file;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "usage: skin_generator OUT_DIR BASE_SOURCE SKIN_SOURCE...\n";
        return 2;
    }
    const std::string outDir = argv[1];
    try {
        const skintool::Sections base = skintool::ReadSections(argv[2]);
        std::set<std::string> names;
        for (int i = 3; i < argc; ++i) {
            const unsigned index = static_cast<unsigned>(i - 3);
            skintool::Sections merged = base;
            skintool::Sections own;
            try {
                own = skintool::ReadSections(argv[i]);
                skintool::Overlay(merged, own);
                const skintool::SkinSource src = skintool::BuildSkin(merged, index + 1);
                if (!names.insert(src.displayName).second) {
                    throw std::runtime_error("name used twice: " + src.displayName);
                }
                const Bytes file = MakeStoredFile(src, index + 1);
                char leaf[16];
                std::snprintf(leaf, sizeof leaf, "%02u.she", index);
                const std::string path = outDir + "/" + leaf;
                std::ofstream out(path, std::ios::binary | std::ios::trunc);
                out.write(reinterpret_cast<const char*>(file.data()),
                          static_cast<std::streamsize>(file.size()));
                out.close();
                if (!out) {
                    throw std::runtime_error("cannot write " + path);
                }
            } catch (const std::exception& e) {
                std::cerr << "skin_generator: " << argv[i] << ": " << e.what() << "\n";
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "skin_generator: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
