// Inside the skin engine: its state, the record kept for every skinned window, and the painters.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

#include "look.h"
#include "skin_model.h"

namespace pelk {

enum class Kind {
    Frame,     // top-level window with a caption: frame, caption bar, face
    Container, // window that only answers its children's colour questions
    PushButton,
    CheckBox,
    GroupBox,
    Edit,
    Combo,
    ComboList,
    Slider,
    StatusBar,
    Menu, // #32768 pop-up menu window
};

// Caption buttons as the system hit-tests them, in window coordinates.
struct CaptionButton {
    int hit = 0; // HTCLOSE, HTMAXBUTTON, HTMINBUTTON
    RECT rect{};
};

struct FrameGeometry {
    SIZE size{};
    LONG style = 0;
    RECT client{}; // client area in window coordinates
    RECT caption{};
    RECT icon{};
    int buttonCount = 0;
    CaptionButton buttons[4];
};

struct Skinned {
    HWND hwnd = nullptr;
    WNDPROC old = nullptr;
    Kind kind = Kind::Container;
    bool dead = false;
    bool overlaid = false; // another subclass sits above the engine's

    // Frame
    bool active = false;
    int hotHit = 0;
    int pressedHit = 0;
    bool pressedInside = false;
    bool ncLeaveTracked = false;
    std::optional<FrameGeometry> geometry;
    HWND shadow = nullptr;

    // Controls
    bool hot = false;
};

struct AeroParams {
    int transparency = 0; // 0 strongest … 255 invisible
    int brightness = 0;   // 0 the colour as given … 255 white
    int sharpness = 0;    // 0 soft … 12 hard
    int size = 0;         // 0 … 18, added to the least width
    int r = 0, g = 0, b = 0;
};

// The look in force, or nullptr while no skin is attached.
const Look* CurrentLook();

// Internal entry points behind the exports; the skin comes already read and checked.
void AttachSkin(trigora::skin::Skin skin);
void AdjustHsv(int hue, int saturation, int brightness);
void SetMenuAlpha(int alpha);
void SetAero(bool on);
void AdjustAero(const AeroParams& params);
int MenuAlpha();
bool AeroOn();
const AeroParams& Aero();
HMODULE EngineModule();
void SetEngineModule(HMODULE module);

// Every window the engine has subclassed, alive.
std::vector<std::shared_ptr<Skinned>> SkinnedWindows();

// Calls the window's own procedure; the record may be dead afterwards.
LRESULT CallOld(Skinned& w, UINT msg, WPARAM wp, LPARAM lp);
// Paints a self-drawn control at once, over whatever its own procedure drew.
void PaintNow(Skinned& w);
// Makes sure drawing done outside WM_PAINT reaches the screen soon.
void SettleOnScreen(HWND hwnd);

// Per kind: true when the message was handled and *result set.
bool FrameMessage(Skinned& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
bool ContainerMessage(Skinned& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
bool ControlMessage(Skinned& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
bool MenuWindowMessage(Skinned& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
// Owner side of pop-up menus (WM_INITMENUPOPUP, WM_MEASUREITEM, WM_DRAWITEM, WM_EXITMENULOOP).
bool MenuOwnerMessage(Skinned& w, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
void PaintControl(Skinned& w, HDC dc);
void PaintFrame(Skinned& w);
void ForgetFrameGeometry(Skinned& w);
// Once, when a top-level window is first skinned.
void PrepareFrame(HWND hwnd);

// Shadows of skinned top-level windows.
void ShadowFollow(Skinned& w);
void ShadowDestroy(Skinned& w);
// A top-level window of the thread was shown, hidden, moved or restacked.
void ShadowsSeeWindow(HWND changed);
void ShadowRefreshAll();
void ShadowDestroyAll();
void RestoreAllMenus();

// The library is being unloaded: no window, hook or timer may lead into it any more.
void Detach();

bool IsWine();

// A library of the system folder, loaded by its full path: a library of that name lying in the
// program's folder or the working directory is never the one that gets loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

} // namespace pelk
