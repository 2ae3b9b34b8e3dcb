// The stored skin files among the program's resources, and writing one over the current skin file.
#pragma once

#include <span>

namespace trigora::skins {

// The stored file of a catalogue entry, unchanged; empty for "不使用皮肤" and any other index.
std::span<const char> StoredSkinFile(int index);

// Replaces the current skin file with the entry's stored file: true once the file is written
// whole and closed; false when it cannot be opened or written, and for an entry without a file,
// which writes nothing. Shows nothing.
bool WriteSkinFile(int index);

} // namespace trigora::skins
