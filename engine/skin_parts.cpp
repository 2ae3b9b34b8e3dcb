// The part tables: file numbers and source names of every colour, metric and image.
#include "skin_parts.h"

#include <algorithm>

namespace trigora::skin {
namespace {

// Numbers are grouped by area with room to grow; a number once shipped keeps its meaning.
#define COLOUR(id, key, member)                                                                              \
    {                                                                                                        \
        id, key, [](Skin& s) -> Rgb& { return s.member; }                                                    \
    }
const ColourSlot kColours[] = {
    COLOUR(0x0001, "caption.active.text", captionActive.text),
    COLOUR(0x0002, "caption.inactive.text", captionInactive.text),
    COLOUR(0x0010, "face", face),
    COLOUR(0x0011, "text", text),
    COLOUR(0x0012, "text.disabled", disabledText),
    COLOUR(0x0020, "edit.background", edit.background),
    COLOUR(0x0021, "edit.text", edit.text),
    COLOUR(0x0022, "edit.border", edit.border),
    COLOUR(0x0023, "edit.selection.background", edit.selectionBackground),
    COLOUR(0x0024, "edit.selection.text", edit.selectionText),
    COLOUR(0x0030, "list.background", list.background),
    COLOUR(0x0031, "list.text", list.text),
    COLOUR(0x0032, "list.border", list.border),
    COLOUR(0x0033, "list.selection.background", list.selectionBackground),
    COLOUR(0x0034, "list.selection.text", list.selectionText),
    COLOUR(0x0040, "button.text", button.text),
    COLOUR(0x0041, "button.text.disabled", button.disabledText),
    COLOUR(0x0050, "checkbox.text", checkBox.text),
    COLOUR(0x0060, "groupbox.frame", groupBox.frame),
    COLOUR(0x0061, "groupbox.title", groupBox.title),
    COLOUR(0x0070, "slider.tick", slider.tick),
    COLOUR(0x0080, "combo.face", combo.face),
    COLOUR(0x0081, "combo.text", combo.text),
    COLOUR(0x0082, "combo.border", combo.border),
    COLOUR(0x0090, "status.face", statusBar.face),
    COLOUR(0x0091, "status.text", statusBar.text),
    COLOUR(0x0092, "status.separator", statusBar.separator),
    COLOUR(0x00A0, "menu.background", menu.background),
    COLOUR(0x00A1, "menu.text", menu.text),
    COLOUR(0x00A2, "menu.selected.background", menu.selectedBackground),
    COLOUR(0x00A3, "menu.selected.text", menu.selectedText),
    COLOUR(0x00A4, "menu.separator", menu.separator),
    COLOUR(0x00A5, "menu.text.disabled", menu.disabledText),
    COLOUR(0x00A6, "menu.border", menu.border),
};
#undef COLOUR

#define METRIC(id, key, member, lo, hi)                                                                      \
    {                                                                                                        \
        id, key, [](Skin& s) -> std::uint16_t& { return s.metrics.member; }, lo, hi                          \
    }
const MetricSlot kMetrics[] = {
    METRIC(0x0001, "caption.height", captionHeight, 10, 64),
    METRIC(0x0002, "frame.width", frameWidth, 1, 16),
    METRIC(0x0003, "caption.button.width", captionButtonWidth, 8, 64),
    METRIC(0x0004, "caption.button.height", captionButtonHeight, 8, 64),
    METRIC(0x0005, "caption.button.gap", captionButtonGap, 0, 16),
    METRIC(0x0006, "menu.item.height", menuItemHeight, 12, 48),
    METRIC(0x0007, "menu.bar.height", menuBarHeight, 12, 48),
};
#undef METRIC

#define IMAGE(id, key, member)                                                                               \
    {                                                                                                        \
        id, key, [](Skin& s) -> Image& { return s.member; }                                                  \
    }
#define CAPBTN(base, key, kind)                                                                              \
    IMAGE(base + 0, key ".normal", captionButtons[kind][0]),                                                 \
        IMAGE(base + 1, key ".hot", captionButtons[kind][1]),                                                \
        IMAGE(base + 2, key ".pressed", captionButtons[kind][2])
const ImageSlot kImages[] = {
    IMAGE(0x0001, "caption.active.bar", captionActive.bar),
    IMAGE(0x0002, "caption.inactive.bar", captionInactive.bar),
    IMAGE(0x0003, "frame.active", frame.active),
    IMAGE(0x0004, "frame.inactive", frame.inactive),
    CAPBTN(0x0010, "caption.close", 0),
    CAPBTN(0x0014, "caption.minimize", 1),
    CAPBTN(0x0018, "caption.maximize", 2),
    CAPBTN(0x001C, "caption.restore", 3),
    IMAGE(0x0020, "button.normal", button.face[0]),
    IMAGE(0x0021, "button.hot", button.face[1]),
    IMAGE(0x0022, "button.pressed", button.face[2]),
    IMAGE(0x0023, "button.disabled", button.face[3]),
    IMAGE(0x0024, "button.default", button.face[4]),
    IMAGE(0x0030, "checkbox.unchecked.normal", checkBox.unchecked[0]),
    IMAGE(0x0031, "checkbox.unchecked.hot", checkBox.unchecked[1]),
    IMAGE(0x0032, "checkbox.checked.normal", checkBox.checked[0]),
    IMAGE(0x0033, "checkbox.checked.hot", checkBox.checked[1]),
    IMAGE(0x0040, "slider.channel", slider.channel),
    IMAGE(0x0041, "slider.thumb.normal", slider.thumb[0]),
    IMAGE(0x0042, "slider.thumb.hot", slider.thumb[1]),
    IMAGE(0x0043, "slider.thumb.pressed", slider.thumb[2]),
    IMAGE(0x0050, "combo.arrow.normal", combo.arrow[0]),
    IMAGE(0x0051, "combo.arrow.hot", combo.arrow[1]),
    IMAGE(0x0052, "combo.arrow.pressed", combo.arrow[2]),
    IMAGE(0x0060, "menu.check", menu.checkMark),
};
#undef CAPBTN
#undef IMAGE

template <typename T> const T* FindByKey(std::span<const T> slots, std::string_view key) {
    auto it = std::find_if(slots.begin(), slots.end(), [&](const T& s) { return s.key == key; });
    return it == slots.end() ? nullptr : &*it;
}

} // namespace

std::span<const ColourSlot> ColourSlots() {
    return kColours;
}
std::span<const MetricSlot> MetricSlots() {
    return kMetrics;
}
std::span<const ImageSlot> ImageSlots() {
    return kImages;
}

const ColourSlot* FindColourSlot(std::string_view key) {
    return FindByKey(ColourSlots(), key);
}
const MetricSlot* FindMetricSlot(std::string_view key) {
    return FindByKey(MetricSlots(), key);
}
const ImageSlot* FindImageSlot(std::string_view key) {
    return FindByKey(ImageSlots(), key);
}

} // namespace trigora::skin
