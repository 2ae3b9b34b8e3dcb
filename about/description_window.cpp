// The description window's table: one read-only, word-wrapped edit box holding the stored text.
#include "about/description_window.h"

#include "resources/resource_ids.h"

namespace trigora {

namespace {

constexpr ControlEntry kControls[] = {
    /* 1 */ [] {
        ControlEntry e{.name = "编辑框1", .kind = ControlKind::Edit, .rect = {1, 1, 376, 216}, .focusable = true};
        e.edit.border = EdgeStyle::Raised;
        e.edit.text = colours::Violet;
        e.edit.background = colours::White;
        e.edit.multiLine = true;
        e.edit.scrollBars = ScrollBars::Vertical; // no horizontal bar: lines wrap at the box's width
        e.edit.input = InputMode::ReadOnly;
        e.edit.contentResource = IDR_DESCRIPTION;
        return e;
    }(),
};

constexpr WindowRecord kRecord{
    .caption = "程序说明",
    .outer = {50, 50, 380, 250},
    .placement = Placement::Centred,
    .border = Border::FixedSingle,
    .escCloses = true,
    .taskbarButton = true,
    .alwaysOnTop = false,
    .icon = IDI_TRIGORA,
};

} // namespace

const WindowTable DescriptionWindow{kRecord, kControls, {}};

} // namespace trigora
