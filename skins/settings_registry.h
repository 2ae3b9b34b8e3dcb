// The skin settings in the registry: thirteen REG_DWORD values under HKEY_CURRENT_USER.
#pragma once

#include "skins/skin_settings.h"

#include <cstdint>
#include <string_view>

namespace trigora::skins {

// Full value paths (GBK) under HKEY_CURRENT_USER, split at their last backslash. Writing opens or
// creates the key and stores the number cut toward zero as a 4-byte REG_DWORD; reading takes only a
// REG_DWORD and gives the fallback for anything else. Neither shows anything.
bool WriteRegistryNumber(std::string_view valuePath, double number);
std::int32_t ReadRegistryNumber(std::string_view valuePath, std::int32_t fallback = 0);

// All thirteen values, each clamped into its domain; defaults where nothing usable is stored.
SkinSettings LoadSkinSettings();
// True when all thirteen were written.
bool SaveSkinSettings(const SkinSettings& settings);

} // namespace trigora::skins
