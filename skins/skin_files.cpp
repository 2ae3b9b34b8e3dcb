// Stored skin files: RCDATA blocks in catalogue order, copied byte for byte, never parsed here.
#include "skins/skin_files.h"

#include "resources/resource_ids.h"
#include "shell/app.h"
#include "skins/catalogue.h"
#include "skins/skin_engine.h"

namespace trigora::skins {

std::span<const char> StoredSkinFile(int index) {
    if (!HasStoredFile(index)) {
        return {};
    }
    return StoredBlock(IDR_SKIN_FIRST + index);
}

bool WriteSkinFile(int index) {
    std::span<const char> stored = StoredSkinFile(index);
    std::wstring path = CurrentSkinFilePath();
    if (stored.empty() || path.empty()) {
        return false;
    }
    return WriteWholeFile(path, stored);
}

} // namespace trigora::skins
