// Readable skin sources: a shared base of recipes plus one file per skin, turned into a Skin.
#pragma once

#include "skin_model.h"

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>

namespace trigora::skintool {

// Sections of key = value lines; "" is the top of the file.
using Sections = std::map<std::string, std::map<std::string, std::string>>;

struct SourceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

Sections ReadSections(const std::string& path);

// Later sections' keys replace earlier ones; sections merge key by key.
void Overlay(Sections& base, const Sections& top);

struct SkinSource {
    skin::Skin skin;         // name in GBK
    std::string displayName; // UTF-8, for messages
    std::uint32_t storedSize = 0;
    std::uint32_t expandedSize = 0;
};

// Builds the skin the merged sections describe; throws SourceError naming the key at fault.
SkinSource BuildSkin(const Sections& merged, unsigned seed);

} // namespace trigora::skintool
