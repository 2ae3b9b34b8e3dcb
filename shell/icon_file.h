// Reading ICO file bytes: the directory, the tray's entry search rule and the chosen image's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace trigora {

// One 16-byte directory entry as the file stores it. A width or height byte of 0 means 256;
// a colour count of 0 means "256 or more colours" (or "not given").
struct IcoEntry {
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    std::uint8_t colorCount = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t bytesInRes = 0;
    std::uint32_t imageOffset = 0;
};

// The image data of one entry, ready for the system's icon-from-resource call, and the size to make
// the icon at: from the bitmap header (height halved, as it counts colour image and mask together),
// or from the header of a PNG-compressed entry.
struct IconImage {
    std::span<const std::uint8_t> bytes; // points into the file bytes given to the search
    int width = 0;
    int height = 0;
};

// The directory of an ICO file. Empty when the bytes are not an ICO file with at least one entry
// whose directory lies wholly inside the bytes; image data are not checked here.
std::vector<IcoEntry> ReadIcoDirectory(std::span<const std::uint8_t> file);

// Whether an entry counts as having "16 or more colours". The colour count byte says so when it is
// 16 or more; a 0 byte means 256 or more and counts too (a 32-bit 16 x 16 entry, the usual tray
// image, stores 0), unless the entry's bit count says it has fewer than 4 bits per pixel.
bool HasSixteenOrMoreColours(const IcoEntry& entry);

// The tray's search: the first entry whose width is `width` and that has 16 or more colours, else
// the last entry. Returns nothing when the bytes are no ICO file, or the chosen entry's image data
// lie outside the bytes or do not start with a usable bitmap (or PNG) header: then no icon can be
// made from this attempt. Never reads outside `file`.
std::optional<IconImage> FindIconImage(std::span<const std::uint8_t> file, int width);

// The attempts the tray makes, in order: the search for width 16, then for width 32. Failed
// searches are left out, and the second is left out when it picked the same image as the first
// (making the same icon twice cannot succeed the second time). Empty: no icon can be made.
std::vector<IconImage> TrayIconCandidates(std::span<const std::uint8_t> file);

} // namespace trigora
