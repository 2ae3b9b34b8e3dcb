// The skin settings' names, domains and defaults, and their mapping to the engine's arguments.
#include "skins/skin_settings.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace trigora::skins {

const std::array<SettingValue, kSettingCount> kSettingValues{{
    {"SkinID", 0, 29, 0, &SkinSettings::skinId},
    {"SDID", 0, 360, 180, &SkinSettings::hue},
    {"BHDID", 0, 200, 100, &SkinSettings::saturation},
    {"LDID", 0, 200, 100, &SkinSettings::brightness},
    {"CDTMID", 0, 255, 255, &SkinSettings::menuAlpha},
    {"Aero特效", 0, 1, 0, &SkinSettings::aero},
    {"Aero1", 0, 255, 0, nullptr, 0},
    {"Aero2", 0, 255, 0, nullptr, 1},
    {"Aero3", 0, 12, 0, nullptr, 2},
    {"Aero4", 0, 18, 0, nullptr, 3},
    {"Aero5", 0, 255, 0, nullptr, 4},
    {"Aero6", 0, 255, 0, nullptr, 5},
    {"Aero7", 0, 255, 0, nullptr, 6},
}};

std::int32_t& ValueOf(SkinSettings& settings, std::size_t which) {
    const SettingValue& v = kSettingValues.at(which);
    return v.field != nullptr ? settings.*v.field : settings.aeroValues.at(v.aeroIndex);
}

std::int32_t ValueOf(const SkinSettings& settings, std::size_t which) {
    return ValueOf(const_cast<SkinSettings&>(settings), which);
}

std::int32_t ClampToDomain(std::size_t which, std::int64_t stored) {
    const SettingValue& v = kSettingValues.at(which);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(stored, v.minimum, v.maximum));
}

std::string ValuePath(std::size_t which) {
    return std::string(kSettingsKey) + "\\" + kSettingValues.at(which).name;
}

KeyAndValue SplitValuePath(std::string_view path) {
    // GBK trail bytes are never 0x5C... except that they can be: 0x40-0xFE includes '\\'. Walk the
    // text by characters so a backslash inside a double-byte character is not taken for a separator.
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        auto byte = static_cast<unsigned char>(path[i]);
        if (byte >= 0x81 && byte <= 0xFE && i + 1 < path.size()) {
            ++i; // lead byte: the next byte belongs to the same character
        } else if (path[i] == '\\') {
            last = i;
        }
    }
    if (last == std::string_view::npos) {
        return {std::string(), std::string(path)};
    }
    return {std::string(path.substr(0, last)), std::string(path.substr(last + 1))};
}

std::int32_t CutTowardZero(double number) {
    if (std::isnan(number)) {
        return 0;
    }
    double cut = std::trunc(number);
    if (cut <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (cut >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(cut);
}

HsvArguments HsvArgumentsOf(const SkinSettings& s) {
    return {s.hue - 180, s.saturation - 100, s.brightness - 100};
}

int MenuAlphaArgumentOf(const SkinSettings& s) {
    return s.menuAlpha;
}

int AeroSwitchArgumentOf(const SkinSettings& s) {
    return s.aero != 0 ? 1 : 0;
}

std::array<int, 7> AeroArgumentsOf(const SkinSettings& s) {
    std::array<int, 7> args{};
    std::copy(s.aeroValues.begin(), s.aeroValues.end(), args.begin());
    return args;
}

} // namespace trigora::skins
