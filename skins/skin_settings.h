// The thirteen persisted skin settings: their registry names, domains and defaults, and how they
// become the skin engine's arguments. No Windows here: the registry side is in settings_registry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trigora::skins {

struct SkinSettings {
    std::int32_t skinId = 0; // catalogue index; 29 is no skin
    std::int32_t hue = 180;
    std::int32_t saturation = 100;
    std::int32_t brightness = 100;
    std::int32_t menuAlpha = 255;
    std::int32_t aero = 0;                    // the shadow: 1 on, 0 off
    std::array<std::int32_t, 7> aeroValues{}; // transparency, brightness, sharpness, size, red, green, blue

    bool operator==(const SkinSettings&) const = default;
};

// One persisted value: its registry name (GBK), its domain and the default read when it is missing.
struct SettingValue {
    const char* name;
    std::int32_t minimum;
    std::int32_t maximum;
    std::int32_t fallback;
    std::int32_t SkinSettings::*field = nullptr;
    std::size_t aeroIndex = 0; // for the seven Aero values, which share one array
};

inline constexpr std::size_t kSettingCount = 13;
extern const std::array<SettingValue, kSettingCount> kSettingValues;

// The key under HKEY_CURRENT_USER that holds all thirteen values (GBK).
inline constexpr const char* kSettingsKey = "Software\\Microsoft\\Vornel\\Trigora";

std::int32_t& ValueOf(SkinSettings& settings, std::size_t which);
std::int32_t ValueOf(const SkinSettings& settings, std::size_t which);

// A stored number brought into its value's domain.
std::int32_t ClampToDomain(std::size_t which, std::int64_t stored);

// The full path of a value: the key path, a backslash, the value's name.
std::string ValuePath(std::size_t which);

// A full value path split at its last backslash: the key to the left, the value name to the right.
// A path without a backslash is a value name under no key.
struct KeyAndValue {
    std::string key;
    std::string value;
};
KeyAndValue SplitValuePath(std::string_view path);

// A number as a 32-bit registry value: cut toward zero; what does not fit saturates, NaN is 0.
std::int32_t CutTowardZero(double number);

// What each engine function receives for a set of settings.
struct HsvArguments {
    int hue;        // -180..180 degrees
    int saturation; // -100..100 percent
    int brightness; // -100..100 percent
    bool operator==(const HsvArguments&) const = default;
};
HsvArguments HsvArgumentsOf(const SkinSettings& settings);
int MenuAlphaArgumentOf(const SkinSettings& settings);
int AeroSwitchArgumentOf(const SkinSettings& settings);
std::array<int, 7> AeroArgumentsOf(const SkinSettings& settings);

} // namespace trigora::skins
