// Names and numbers of every colour, metric and image in a skin: one table shared by the file
// format, the recolouring and the skin sources, so a new part is added in one place.
#pragma once

#include "skin_model.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace trigora::skin {

struct ColourSlot {
    std::uint16_t id;     // number in the file; never reused
    std::string_view key; // name in the skin sources
    Rgb& (*get)(Skin&);
};

struct MetricSlot {
    std::uint16_t id;
    std::string_view key;
    std::uint16_t& (*get)(Skin&);
    std::uint16_t min;
    std::uint16_t max;
};

struct ImageSlot {
    std::uint16_t id;
    std::string_view key;
    Image& (*get)(Skin&);
};

std::span<const ColourSlot> ColourSlots();
std::span<const MetricSlot> MetricSlots();
std::span<const ImageSlot> ImageSlots();

const ColourSlot* FindColourSlot(std::string_view key);
const MetricSlot* FindMetricSlot(std::string_view key);
const ImageSlot* FindImageSlot(std::string_view key);

} // namespace trigora::skin
