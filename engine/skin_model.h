// The in-memory description of a skin: every colour and image the painter needs, free of Win32.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trigora::skin {

// Version of the model this code understands; the file format carries it too.
inline constexpr std::uint16_t kSkinModelVersion = 1;

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// GDI's COLORREF layout (0x00BBGGRR), so the painter can hand a colour straight to Win32.
inline constexpr std::uint32_t ToColorRef(Rgb c) {
    return std::uint32_t{c.r} | (std::uint32_t{c.g} << 8) | (std::uint32_t{c.b} << 16);
}

// Nine-grid margins: the corners keep their size, the edges stretch one way, the centre both.
struct Margins {
    std::uint16_t left = 0;
    std::uint16_t top = 0;
    std::uint16_t right = 0;
    std::uint16_t bottom = 0;
    friend bool operator==(const Margins&, const Margins&) = default;
};

// One pixel is 0xAARRGGBB, i.e. the bytes B, G, R, A in memory: a 32-bit top-down DIB row.
// Alpha is straight (not premultiplied); the painter premultiplies for AlphaBlend.
using Pixel = std::uint32_t;

inline constexpr Pixel MakePixel(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
    return (Pixel{a} << 24) | (Pixel{r} << 16) | (Pixel{g} << 8) | Pixel{b};
}
inline constexpr std::uint8_t PixelA(Pixel p) {
    return static_cast<std::uint8_t>(p >> 24);
}
inline constexpr std::uint8_t PixelR(Pixel p) {
    return static_cast<std::uint8_t>(p >> 16);
}
inline constexpr std::uint8_t PixelG(Pixel p) {
    return static_cast<std::uint8_t>(p >> 8);
}
inline constexpr std::uint8_t PixelB(Pixel p) {
    return static_cast<std::uint8_t>(p);
}

struct Image {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<Pixel> pixels; // width * height, rows top to bottom
    Margins margins;

    bool Empty() const { return width == 0 || height == 0; }
    // Sizes agree and the margins fit inside the image.
    bool Valid() const {
        return pixels.size() == std::size_t{width} * height && margins.left + margins.right <= width &&
               margins.top + margins.bottom <= height;
    }
    Pixel At(std::uint32_t x, std::uint32_t y) const { return pixels[std::size_t{y} * width + x]; }
    Pixel& At(std::uint32_t x, std::uint32_t y) { return pixels[std::size_t{y} * width + x]; }
    friend bool operator==(const Image&, const Image&) = default;
};

// A blank, fully transparent image of the given size.
inline Image MakeImage(std::uint32_t width, std::uint32_t height, Margins margins = {}) {
    Image img;
    img.width = width;
    img.height = height;
    img.pixels.assign(std::size_t{width} * height, 0);
    img.margins = margins;
    return img;
}

// Index into the per-state image arrays below.
enum class PartState : std::uint8_t { Normal = 0, Hot = 1, Pressed = 2 };
enum class ButtonState : std::uint8_t { Normal = 0, Hot = 1, Pressed = 2, Disabled = 3, Default = 4 };
enum class CaptionButtonKind : std::uint8_t { Close = 0, Minimize = 1, Maximize = 2, Restore = 3 };

inline constexpr std::size_t kPartStates = 3;
inline constexpr std::size_t kButtonStates = 5;
inline constexpr std::size_t kCaptionButtonKinds = 4;

template <typename T, std::size_t N, typename E> const T& Pick(const std::array<T, N>& a, E e) {
    return a[static_cast<std::size_t>(e)];
}
template <typename T, std::size_t N, typename E> T& Pick(std::array<T, N>& a, E e) {
    return a[static_cast<std::size_t>(e)];
}

// Sizes in pixels at 96 dpi.
struct Metrics {
    std::uint16_t captionHeight = 24; // caption bar, inside the frame
    std::uint16_t frameWidth = 4;     // left, right and bottom frame
    std::uint16_t captionButtonWidth = 22;
    std::uint16_t captionButtonHeight = 18;
    std::uint16_t captionButtonGap = 2; // between caption buttons and to the right frame
    std::uint16_t menuItemHeight = 20;
    std::uint16_t menuBarHeight = 20;
    friend bool operator==(const Metrics&, const Metrics&) = default;
};

struct CaptionLook {
    // The whole top of the window: full width, frameWidth + captionHeight high (the top frame
    // band is part of it), nine-grid so rounded top corners keep their shape.
    Image bar;
    Rgb text; // title text
    friend bool operator==(const CaptionLook&, const CaptionLook&) = default;
};

struct FrameLook {
    // Nine-grid images whose margins are the frame width; the painter uses the left, right
    // and bottom bands below the caption bar (which covers the top band).
    Image active;
    Image inactive;
    friend bool operator==(const FrameLook&, const FrameLook&) = default;
};

struct PushButtonLook {
    std::array<Image, kButtonStates> face; // nine-grid, by ButtonState
    Rgb text;
    Rgb disabledText;
    friend bool operator==(const PushButtonLook&, const PushButtonLook&) = default;
};

struct CheckBoxLook {
    // The box with its mark, drawn whole; by PartState Normal and Hot only.
    std::array<Image, 2> unchecked;
    std::array<Image, 2> checked;
    Rgb text;
    friend bool operator==(const CheckBoxLook&, const CheckBoxLook&) = default;
};

struct GroupBoxLook {
    Rgb frame;
    Rgb title;
    friend bool operator==(const GroupBoxLook&, const GroupBoxLook&) = default;
};

struct SliderLook {
    Image channel;                        // nine-grid, stretched along the slider
    std::array<Image, kPartStates> thumb; // by PartState
    Rgb tick;
    friend bool operator==(const SliderLook&, const SliderLook&) = default;
};

struct EditLook {
    Rgb background;
    Rgb text;
    Rgb border;
    Rgb selectionBackground;
    Rgb selectionText;
    friend bool operator==(const EditLook&, const EditLook&) = default;
};

struct ComboLook {
    Rgb face;
    Rgb text;
    Rgb border;
    std::array<Image, kPartStates> arrow; // the drop-down button, by PartState
    friend bool operator==(const ComboLook&, const ComboLook&) = default;
};

struct StatusBarLook {
    Rgb face;
    Rgb text;
    Rgb separator;
    friend bool operator==(const StatusBarLook&, const StatusBarLook&) = default;
};

struct MenuLook {
    Rgb background;
    Rgb text;
    Rgb selectedBackground;
    Rgb selectedText;
    Rgb separator;
    Rgb disabledText;
    Rgb border;
    Image checkMark; // alpha-masked glyph, already in the text colour
    friend bool operator==(const MenuLook&, const MenuLook&) = default;
};

struct Skin {
    std::uint16_t version = kSkinModelVersion;
    std::string name; // GBK, as the catalogue shows it

    Metrics metrics;
    CaptionLook captionActive;
    CaptionLook captionInactive;
    FrameLook frame;
    // by CaptionButtonKind, then PartState
    std::array<std::array<Image, kPartStates>, kCaptionButtonKinds> captionButtons;

    Rgb face; // window and dialog background
    Rgb text; // labels and other plain text
    Rgb disabledText;

    EditLook edit;
    EditLook list;
    PushButtonLook button;
    CheckBoxLook checkBox;
    GroupBoxLook groupBox;
    SliderLook slider;
    ComboLook combo;
    StatusBarLook statusBar;
    MenuLook menu;

    const Image& CaptionButton(CaptionButtonKind kind, PartState state) const {
        return Pick(Pick(captionButtons, kind), state);
    }
    Image& CaptionButton(CaptionButtonKind kind, PartState state) {
        return Pick(Pick(captionButtons, kind), state);
    }
    friend bool operator==(const Skin&, const Skin&) = default;
};

} // namespace trigora::skin
