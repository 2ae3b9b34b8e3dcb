// The skin engine library's five functions, each bound on its first call, and the files the
// engine reads: the library itself and the current skin file beside it.
#pragma once

#include <span>
#include <string>

namespace trigora::skins {

// Declared in this order, each from "Pelk.dll". A library or export that cannot be found ends the
// program through FatalError; arguments and result pass through unchanged.
int SkinH_AdjustHSV(int hue, int saturation, int brightness);
int SkinH_SetMenuAlpha(int alpha);
int SkinH_SetAero(int on);
int SkinH_AdjustAero(int transparency, int brightness, int sharpness, int size, int red, int green, int blue);
int SkinH_Attach();

inline constexpr const wchar_t* kEngineLibrary = L"Pelk.dll";
inline constexpr const wchar_t* kCurrentSkinFile = L"skinh.she";

// Where the engine library may go, in the order they are tried.
struct EngineFolders {
    std::wstring system;  // the system directory
    std::wstring perUser; // a folder of the user's own, for when the system directory is closed to us
};

// Puts the library into the first folder that has an identical copy already or takes a new one;
// empty when neither does. An identical copy is left alone: a running instance keeps it locked.
std::wstring PlaceEngineLibrary(std::span<const char> library, const EngineFolders& folders);

// Start-up: writes the stored engine library, makes sure the engine is loaded from where it went,
// and keeps the current skin file's path (beside that library) in GlobalValue.
void PrepareEngineFiles();

// The current skin file, as PrepareEngineFiles chose it; empty before.
std::wstring CurrentSkinFilePath();
void SetCurrentSkinFilePath(const std::wstring& path);

// Creates or truncates a file, opened for exclusive writing, writes it whole and closes it; true
// only once it is closed. Shows nothing.
bool WriteWholeFile(const std::wstring& path, std::span<const char> bytes);
// Whether a file holds exactly these bytes.
bool HoldsExactly(const std::wstring& path, std::span<const char> bytes);

} // namespace trigora::skins
