// Window tables: the typed, static declaration of a window from which the window layer builds it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace trigora {

class Window;

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    constexpr bool operator==(const Rgb&) const = default;
};

// A colour that may also be "the system face colour" (the standard dialog colour).
struct Colour {
    bool systemFace = false;
    Rgb rgb{};
    static constexpr Colour Face() { return {true, {}}; }
    static constexpr Colour Of(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {false, {r, g, b}}; }
};

namespace colours {
inline constexpr Colour Black = Colour::Of(0, 0, 0);
inline constexpr Colour White = Colour::Of(255, 255, 255);
inline constexpr Colour Red = Colour::Of(255, 0, 0);
inline constexpr Colour Blue = Colour::Of(0, 0, 255);
inline constexpr Colour DarkRed = Colour::Of(128, 0, 0);
inline constexpr Colour Violet = Colour::Of(144, 0, 255);
inline constexpr Colour Face = Colour::Face();
} // namespace colours

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
};

// nullptr face: the system's default GUI font.
struct Font {
    const char* face = nullptr;
    int height = 0; // character height in pixels
    bool bold = false;
    bool underline = false;
    constexpr bool IsDefault() const { return face == nullptr; }
};

namespace fonts {
inline constexpr Font Gui{};
inline constexpr Font SongBold{"宋体", 12, true, false};
inline constexpr Font SongBoldUnderlined{"宋体", 12, true, true};
} // namespace fonts

enum class Placement { AsStored, Centred, Minimised, Maximised };
enum class Border {
    None,
    Resizable,
    FixedSingle,
    ResizableTool,
    FixedTool,
    ResizableClientEdge,
    FixedClientEdge,
};
enum class ControlKind { Edit, Label, GroupBox, PushButton, CheckBox, ComboBox, Slider, StatusBar };
enum class EdgeStyle { None, Sunken, Raised, ShallowSunken, Frame, ThinSingle };
enum class HAlign { Left, Centre, Right };
enum class VAlign { Top, Centre, Bottom };
enum class ScrollBars { None, Horizontal, Vertical, Both };
enum class InputMode { Normal, ReadOnly, Password };
enum class LetterCase { AsTyped, Lower, Upper };
enum class ComboStyle { Simple, DropDown, DropDownList };
enum class Orientation { Horizontal, Vertical };
enum class Ticks { None, AboveOrLeft, BelowOrRight, Both };
enum class Docking { Bottom, Top, Free };
enum class PaneStyle { Plain, NoBorder, Raised };

// Key state of mouse events: Ctrl 1, Shift 2, Alt 4, added.
struct MouseArgs {
    int x = 0, y = 0;
    int keys = 0;
};

// Operations bound to events. A mouse operation returning false swallows the message.
using Operation = void (*)(Window&);
using MouseOperation = bool (*)(Window&, const MouseArgs&);
using TrayOperation = void (*)(Window&, int action);
using CloseOperation = bool (*)(Window&); // false refuses the close

struct WindowEvents {
    Operation created = nullptr;
    CloseOperation closeRequested = nullptr;
    Operation aboutToBeDestroyed = nullptr;
    Operation positionChanged = nullptr;
    Operation sizeChanged = nullptr;
    Operation activated = nullptr;
    Operation deactivated = nullptr;
    Operation shown = nullptr;
    Operation hidden = nullptr;
    TrayOperation tray = nullptr;
    MouseOperation leftButtonPressed = nullptr;
    MouseOperation leftButtonReleased = nullptr;
    MouseOperation rightButtonPressed = nullptr;
    MouseOperation rightButtonReleased = nullptr;
};

struct ControlEvents {
    Operation contentChanged = nullptr;   // edit box
    Operation clicked = nullptr;          // push button, check box
    Operation listItemSelected = nullptr; // combo box: the user confirmed a pick from the list
    MouseOperation leftButtonPressed = nullptr;
    MouseOperation leftButtonReleased = nullptr;
    MouseOperation rightButtonPressed = nullptr;
    MouseOperation rightButtonReleased = nullptr;
};

struct EditProps {
    EdgeStyle border = EdgeStyle::Sunken;
    Colour text = colours::Black;
    Colour background = colours::White;
    bool hideSelection = true;
    bool selectAllOnFocus = false; // focusing the box, by click or Tab, selects its whole text
    int maxLength = 0; // 0: the system's limit
    bool multiLine = false;
    ScrollBars scrollBars = ScrollBars::None;
    HAlign align = HAlign::Left;
    InputMode input = InputMode::Normal;
    char passwordChar = '*';
    LetterCase letterCase = LetterCase::AsTyped;
    Font font = fonts::Gui;
    const char* content = "";  // initial content
    int contentResource = 0;   // or: initial content from this stored byte block (GBK), if not 0
};

struct LabelProps {
    EdgeStyle border = EdgeStyle::None;
    Colour text = colours::Black;
    Colour background = colours::Face;
    HAlign align = HAlign::Left;
    VAlign valign = VAlign::Centre;
    bool wordWrap = false;
    Font font = fonts::Gui;
};

struct GroupBoxProps {
    HAlign titleAlign = HAlign::Left;
    Colour text = colours::Black;
    Font font = fonts::Gui;
};

struct ButtonProps {
    bool defaultButton = false;
    HAlign align = HAlign::Centre;
    VAlign valign = VAlign::Centre;
    Font font = fonts::Gui;
};

struct CheckBoxProps {
    bool checked = false;
    Colour text = colours::Black;
    Colour background = colours::Face;
    Font font = fonts::Gui;
};

struct ComboBoxProps {
    ComboStyle style = ComboStyle::DropDown;
    std::span<const char* const> items{};
    int selected = -1;
    bool sorted = false;
    Colour text = colours::Black;
    Colour background = colours::White;
};

struct SliderProps {
    Orientation orientation = Orientation::Horizontal;
    Ticks ticks = Ticks::BelowOrRight;
    int tickFrequency = 1;
    int pageSize = 5;
    int lineSize = 1;
    int minimum = 1;
    int maximum = 10;
    int position = 1;
};

struct StatusPane {
    int width = -1; // -1 reaches the right edge
    PaneStyle style = PaneStyle::Plain;
    const char* text = "";
};

struct StatusBarProps {
    Docking docking = Docking::Bottom;
    bool sizeGrip = false;
    Colour background = colours::Face;
    Font font = fonts::Gui;
    std::span<const StatusPane> panes{};
};

struct ControlEntry {
    const char* name = "";
    ControlKind kind = ControlKind::Label;
    const char* container = nullptr; // nullptr: the window; otherwise a group box of the same window
    Rect rect{};
    const char* text = ""; // caption of labels, buttons, check boxes and group boxes
    bool visible = true;
    bool enabled = true;
    bool focusable = false;
    const char* tag = "";
    // Edit box or label: a text wider than the control is marked as cut, and the pointer resting
    // on the control shows the whole text in a tooltip.
    bool tipWhenCut = false;
    ControlEvents events{};
    EditProps edit{};
    LabelProps label{};
    GroupBoxProps group{};
    ButtonProps button{};
    CheckBoxProps check{};
    ComboBoxProps combo{};
    SliderProps slider{};
    StatusBarProps status{};
};

struct MenuEntry {
    const char* caption = ""; // "-" draws a separator
    int level = 0;            // 0: a top-level menu; 1: an item of the preceding top-level menu
    bool hidden = false;
    bool disabled = false;
    bool checked = false;
    Operation selected = nullptr;
};

struct WindowRecord {
    const char* caption = "";
    Rect outer{};
    Placement placement = Placement::Centred;
    Border border = Border::FixedSingle;
    bool captionButtons = true;
    bool minimiseBox = false;
    bool maximiseBox = false;
    bool movable = true;
    bool enterMovesFocus = false;
    bool escCloses = true;
    bool f1OpensHelp = false;
    bool taskbarButton = true;
    bool dragAnywhere = false;
    bool alwaysOnTop = false;
    Colour background = colours::Face;
    int icon = 0; // resource id of an icon; 0: the program's application icon
    bool visible = true;
    WindowEvents events{};
};

struct WindowTable {
    WindowRecord window;
    std::span<const ControlEntry> controls;
    std::span<const MenuEntry> menus;
};

} // namespace trigora
