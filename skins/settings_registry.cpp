// Registry reads and writes of the skin settings, through the wide functions with GBK names.
#include "skins/settings_registry.h"

#include "shell/handles.h"
#include "shell/text.h"

#include <windows.h>

namespace trigora::skins {

bool WriteRegistryNumber(std::string_view valuePath, double number) {
    KeyAndValue split = SplitValuePath(valuePath);
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Wide(split.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    OwnedKey key(raw);
    DWORD stored = static_cast<DWORD>(CutTowardZero(number));
    return RegSetValueExW(key.Get(), Wide(split.value).c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&stored), sizeof(stored)) == ERROR_SUCCESS;
}

std::int32_t ReadRegistryNumber(std::string_view valuePath, std::int32_t fallback) {
    KeyAndValue split = SplitValuePath(valuePath);
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(split.key).c_str(), 0, KEY_QUERY_VALUE, &raw) !=
        ERROR_SUCCESS) {
        return fallback;
    }
    OwnedKey key(raw);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    LONG result = RegQueryValueExW(key.Get(), Wide(split.value).c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(&value), &size);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value)) {
        return fallback;
    }
    return static_cast<std::int32_t>(value);
}

SkinSettings LoadSkinSettings() {
    SkinSettings settings;
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        std::int32_t stored = ReadRegistryNumber(ValuePath(i), kSettingValues[i].fallback);
        ValueOf(settings, i) = ClampToDomain(i, stored);
    }
    return settings;
}

bool SaveSkinSettings(const SkinSettings& settings) {
    bool all = true;
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        all = WriteRegistryNumber(ValuePath(i), ValueOf(settings, i)) && all;
    }
    return all;
}

} // namespace trigora::skins
