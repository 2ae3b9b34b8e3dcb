// The skin catalogue: 30 choices in the order of the settings window's list, 29 with a stored file.
#pragma once

#include <array>
#include <cstdint>

namespace trigora::skins {

struct CatalogueEntry {
    const char* name;            // GBK, shown exactly so in the list
    std::uint32_t storedBytes;   // size of the stored skin file; 0: no file
    std::uint32_t expandedBytes; // size of its content once the engine has expanded it
};

inline constexpr int kCatalogueSize = 30;
inline constexpr int kNoSkin = 29; // "不使用皮肤": nothing to write, nothing to attach

extern const std::array<CatalogueEntry, kCatalogueSize> kCatalogue;

// Whether an index names an entry with a stored file (0 to 28).
constexpr bool HasStoredFile(int index) {
    return index >= 0 && index < kNoSkin;
}

} // namespace trigora::skins
