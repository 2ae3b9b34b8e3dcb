// Pelk.dll on a live window under a real desktop: what the screen shows before and after a skin.
#include <windows.h>
// commctrl.h needs the types of windows.h first.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "skin_contrast.h"
#include "skin_reader.h"

namespace {

using trigora::skin::Image;
using trigora::skin::Rgb;
using trigora::skin::Skin;

// ---- the engine, loaded from a private folder that also holds its current skin file ----

struct Engine {
    HMODULE dll = nullptr;
    std::wstring folder;
    int(__stdcall* adjustHsv)(int, int, int) = nullptr;
    int(__stdcall* setMenuAlpha)(int) = nullptr;
    int(__stdcall* setAero)(int) = nullptr;
    int(__stdcall* adjustAero)(int, int, int, int, int, int, int) = nullptr;
    int(__stdcall* attach)() = nullptr;
};
Engine g_engine;

std::wstring BuildDir() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe(path, n);
    // <build>/wintests/engine_paint.exe
    exe.resize(exe.find_last_of(L'\\'));
    exe.resize(exe.find_last_of(L'\\'));
    return exe;
}

std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    DWORD size = GetFileSize(f, nullptr);
    bytes.resize(size);
    DWORD got = 0;
    ReadFile(f, bytes.data(), size, &got, nullptr);
    bytes.resize(got);
    CloseHandle(f);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD put = 0;
    bool ok = bytes.empty() || WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(f);
    return ok && put == bytes.size();
}

std::vector<std::uint8_t> StoredSkin(int index) {
    wchar_t name[32];
    wsprintfW(name, L"\\%02d.she", index);
    return ReadFileBytes(std::wstring(L"" TRIGORA_SKIN_DIR) + name);
}

// A stored skin as the engine shows it: its texts brought to a readable contrast.
Skin DecodedSkin(int index) {
    auto result = trigora::skin::ReadSkinFile(StoredSkin(index));
    EXPECT_TRUE(result.skin.has_value()) << result.error;
    Skin skin = result.skin ? *result.skin : Skin{};
    trigora::skin::KeepTextReadable(skin);
    return skin;
}

void PutSkinFile(const std::vector<std::uint8_t>& bytes) {
    ASSERT_TRUE(WriteFileBytes(g_engine.folder + L"\\skinh.she", bytes));
}

// ---- the screen as pixels ----

struct Shot {
    int w = 0, h = 0;
    std::vector<std::uint32_t> px; // 0x00RRGGBB
    Rgb At(int x, int y) const {
        std::uint32_t p = px[static_cast<std::size_t>(y) * w + x];
        return {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                static_cast<std::uint8_t>(p)};
    }
    bool SameIn(const Shot& o, const RECT& r) const {
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                if (px[static_cast<std::size_t>(y) * w + x] != o.px[static_cast<std::size_t>(y) * w + x]) {
                    return false;
                }
            }
        }
        return true;
    }
};

Shot Screen() {
    Shot s;
    s.w = GetSystemMetrics(SM_CXSCREEN);
    s.h = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = s.w;
    bi.bmiHeader.biHeight = -s.h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, s.w, s.h, screen, 0, 0, SRCCOPY);
    GdiFlush();
    auto* p = static_cast<std::uint32_t*>(bits);
    s.px.assign(p, p + static_cast<std::size_t>(s.w) * s.h);
    for (auto& v : s.px) {
        v &= 0xffffff;
    }
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bmp);
    ReleaseDC(nullptr, screen);
    return s;
}

// With ENGINE_SHOTS set to a folder, each named moment is also saved there as a bitmap to look at.
void SaveShot(const Shot& s, const char* name) {
    char folder[MAX_PATH];
    if (GetEnvironmentVariableA("ENGINE_SHOTS", folder, MAX_PATH) == 0) {
        return;
    }
    std::string path = std::string(folder) + "\\" + name + ".bmp";
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof(ih);
    ih.biWidth = s.w;
    ih.biHeight = -s.h;
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    DWORD bytes = static_cast<DWORD>(s.px.size() * 4);
    fh.bfType = 0x4d42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + bytes;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&fh), sizeof(fh));
    out.write(reinterpret_cast<const char*>(&ih), sizeof(ih));
    out.write(reinterpret_cast<const char*>(s.px.data()), bytes);
}

// ---- the test host: a captioned window with a push button, a label of its own class and an edit ----

constexpr int kHostX = 150, kHostY = 120, kHostW = 420, kHostH = 300;
constexpr UINT kPopMenu = WM_APP + 1;
constexpr UINT_PTR kMenuTimer = 7;

struct Host {
    HWND window = nullptr;
    HWND button = nullptr;
    HWND label = nullptr;
    HWND edit = nullptr;
    bool closed = false;
};
Host g_host;

struct MenuProbe {
    int ticks = 0;
    HWND window = nullptr;
    BYTE alpha = 0;
    DWORD layeredFlags = 0;
    bool layered = false;
    COLORREF background = 0; // an unselected item, away from its text
    COLORREF selected = 0;   // the first item once the keyboard selected it
    RECT rect{};
};
MenuProbe g_menu;

// Paints like the program's own labels: the colours come from the parent, as a static's do.
LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(hwnd), WM_CTLCOLORSTATIC,
                                                           reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(hwnd)));
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(dc, &rc, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, L"标签", -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void ProbeMenu(HWND host) {
    HWND menu = FindWindowW(L"#32768", nullptr);
    if (menu == nullptr || !IsWindowVisible(menu)) {
        return;
    }
    ++g_menu.ticks;
    if (g_menu.ticks == 3) {
        g_menu.window = menu;
        GetWindowRect(menu, &g_menu.rect);
        g_menu.layered = (GetWindowLongW(menu, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
        GetLayeredWindowAttributes(menu, nullptr, &g_menu.alpha, &g_menu.layeredFlags);
        HDC screen = GetDC(nullptr);
        g_menu.background = GetPixel(screen, g_menu.rect.right - 8, g_menu.rect.top + 12);
        ReleaseDC(nullptr, screen);
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wVk = in[1].ki.wVk = VK_DOWN;
        in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, in, sizeof(INPUT));
    } else if (g_menu.ticks == 6) {
        HDC screen = GetDC(nullptr);
        g_menu.selected = GetPixel(screen, g_menu.rect.right - 8, g_menu.rect.top + 12);
        ReleaseDC(nullptr, screen);
        SaveShot(Screen(), "menu");
        KillTimer(host, kMenuTimer);
        EndMenu();
    }
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kPopMenu: {
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 1, L"显示菜单透明度");
        AppendMenuW(menu, MF_STRING | MF_CHECKED, 2, L"选择时效果");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING | MF_GRAYED, 3, L"禁止时效果");
        SetTimer(hwnd, kMenuTimer, 100, nullptr);
        SetForegroundWindow(hwnd);
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, kHostX + 40, kHostY + 60, 0, hwnd,
                       nullptr);
        KillTimer(hwnd, kMenuTimer);
        DestroyMenu(menu);
        return 0;
    }
    case WM_CTLCOLOREDIT:
        // The program's own colour for this box, as the calculator's red results: it must stay.
        SetTextColor(reinterpret_cast<HDC>(wp), RGB(220, 0, 0));
        SetBkColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    case WM_TIMER:
        if (wp == kMenuTimer) {
            ProbeMenu(hwnd);
        }
        return 0;
    case WM_DESTROY:
        g_host.closed = true;
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void Pump(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

void CreateHost() {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &HostProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"EnginePaintHost";
    RegisterClassW(&wc);
    WNDCLASSW lc{};
    lc.lpfnWndProc = &LabelProc;
    lc.hInstance = inst;
    lc.lpszClassName = L"EnginePaintLabel";
    RegisterClassW(&lc);

    g_host.window =
        CreateWindowExW(WS_EX_TOPMOST, L"EnginePaintHost", L"Trigora",
                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, kHostX,
                        kHostY, kHostW, kHostH, nullptr, nullptr, inst, nullptr);
    g_host.button = CreateWindowExW(0, L"BUTTON", L"按钮", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20, 20, 160,
                                    40, g_host.window, reinterpret_cast<HMENU>(101), inst, nullptr);
    g_host.label = CreateWindowExW(0, L"EnginePaintLabel", L"标签", WS_CHILD | WS_VISIBLE, 20, 80, 160, 24,
                                   g_host.window, reinterpret_cast<HMENU>(102), inst, nullptr);
    g_host.edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 20,
                                  120, 160, 24, g_host.window, reinterpret_cast<HMENU>(103), inst, nullptr);
    ShowWindow(g_host.window, SW_SHOW);
    SetForegroundWindow(g_host.window);
    SetFocus(g_host.window); // no blinking caret, no focused button
    SetCursorPos(1000, 750); // no part may look hot
    Pump(400);
}

int Distance(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

Rgb FromColorRef(COLORREF c) {
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

std::string Show(Rgb c) {
    char buf[32];
    wsprintfA(buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

int Brightness(Rgb c) {
    return c.r + c.g + c.b;
}

double Hue(Rgb c) {
    double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    double mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
    if (d < 1e-9) {
        return 0;
    }
    double h = mx == r ? std::fmod((g - b) / d, 6.0) : (mx == g ? (b - r) / d + 2 : (r - g) / d + 4);
    h *= 60;
    return h < 0 ? h + 360 : h;
}

// Which pixel of a nine-grid image lands on (x, y) of a dw × dh target.
int GridSource(int d, int size, int lo, int hi, int src) {
    if (lo + hi > size) {
        return d * src / size;
    }
    if (d < lo) {
        return d;
    }
    if (d >= size - hi) {
        return src - (size - d);
    }
    int mid = size - lo - hi, smid = static_cast<int>(src) - lo - hi;
    return lo + (d - lo) * smid / std::max(mid, 1);
}

Rgb GridPixel(const Image& img, int dw, int dh, int x, int y) {
    int sx = GridSource(x, dw, img.margins.left, img.margins.right, static_cast<int>(img.width));
    int sy = GridSource(y, dh, img.margins.top, img.margins.bottom, static_cast<int>(img.height));
    auto p = img.At(static_cast<std::uint32_t>(sx), static_cast<std::uint32_t>(sy));
    EXPECT_EQ(trigora::skin::PixelA(p), 255) << "sample an opaque part of the image";
    return {trigora::skin::PixelR(p), trigora::skin::PixelG(p), trigora::skin::PixelB(p)};
}

// Places on the host to sample, in screen coordinates, and what a skin puts there.
struct Samples {
    POINT caption, face, button, label, edit;
};

struct Geometry {
    RECT window{}, client{}; // screen
    int captionH = 0;
};

Geometry HostGeometry() {
    Geometry g;
    GetWindowRect(g_host.window, &g.window);
    GetClientRect(g_host.window, &g.client);
    MapWindowPoints(g_host.window, nullptr, reinterpret_cast<POINT*>(&g.client), 2);
    g.captionH = g.client.top - g.window.top;
    return g;
}

Samples SamplePoints() {
    Geometry g = HostGeometry();
    RECT b;
    GetWindowRect(g_host.button, &b);
    RECT l;
    GetWindowRect(g_host.label, &l);
    RECT e;
    GetClientRect(g_host.edit, &e);
    MapWindowPoints(g_host.edit, nullptr, reinterpret_cast<POINT*>(&e), 2);
    return {{g.window.left + (g.window.right - g.window.left) * 55 / 100, g.window.top + g.captionH / 2 + 1},
            {g.client.left + 300, g.client.top + 200},
            {b.left + 12, (b.top + b.bottom) / 2},
            {l.right - 10, (l.top + l.bottom) / 2},
            {e.right - 10, (e.top + e.bottom) / 2}};
}

struct Expected {
    Rgb caption, face, button, label, edit;
};

Expected ExpectedFrom(const Skin& s) {
    Geometry g = HostGeometry();
    Samples p = SamplePoints();
    RECT b;
    GetWindowRect(g_host.button, &b);
    Expected e;
    e.caption = GridPixel(s.captionActive.bar, g.window.right - g.window.left, g.captionH,
                          p.caption.x - g.window.left, p.caption.y - g.window.top);
    e.face = s.face;
    e.button = GridPixel(s.button.face[0], b.right - b.left, b.bottom - b.top, p.button.x - b.left,
                         p.button.y - b.top);
    e.label = s.face;
    e.edit = s.edit.background;
    return e;
}

void ExpectLook(const Shot& shot, const Expected& want, int tolerance) {
    Samples p = SamplePoints();
    struct Row {
        const char* part;
        POINT at;
        Rgb want;
    } rows[] = {{"caption", p.caption, want.caption},
                {"face", p.face, want.face},
                {"button", p.button, want.button},
                {"label", p.label, want.label},
                {"edit", p.edit, want.edit}};
    for (const Row& row : rows) {
        Rgb got = shot.At(row.at.x, row.at.y);
        EXPECT_LE(Distance(got, row.want), tolerance)
            << row.part << " at " << row.at.x << "," << row.at.y << ": got " << Show(got) << ", skin has "
            << Show(row.want);
    }
}

RECT AroundHost(int margin) {
    Geometry g = HostGeometry();
    RECT r = g.window;
    InflateRect(&r, margin, margin);
    return r;
}

LONG_PTR HostProcNow() {
    return GetWindowLongPtrW(g_host.window, GWLP_WNDPROC);
}

// ---- every other kind of control the program uses, in a second window ----

struct Gallery {
    HWND window = nullptr, group = nullptr, check = nullptr, titleCheck = nullptr, slider = nullptr,
         combo = nullptr, status = nullptr;
};

Gallery MakeGallery() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    HINSTANCE inst = GetModuleHandleW(nullptr);
    Gallery g;
    g.window = CreateWindowExW(WS_EX_TOPMOST, L"EnginePaintHost", L"皮肤设置",
                               WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 20, 20, 600, 420, nullptr, nullptr,
                               inst, nullptr);
    g.group = CreateWindowExW(0, L"BUTTON", L"色调,饱和度,亮度", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 10, 10,
                              300, 160, g.window, nullptr, inst, nullptr);
    g.check = CreateWindowExW(0, L"BUTTON", L"设置Aero特效", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 15, 25,
                              150, 24, g.group, nullptr, inst, nullptr);
    SendMessageW(g.check, BM_SETCHECK, BST_CHECKED, 0);
    // Laid across the group box's top edge, as the settings window does with its Aero box.
    g.titleCheck = CreateWindowExW(0, L"BUTTON", L"设置Aero特效", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX,
                                   200, 0, 100, 22, g.window, nullptr, inst, nullptr);
    g.slider = CreateWindowExW(0, TRACKBAR_CLASSW, L"", WS_CHILD | WS_VISIBLE | TBS_AUTOTICKS, 15, 60, 260,
                               32, g.group, nullptr, inst, nullptr);
    SendMessageW(g.slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 18));
    SendMessageW(g.slider, TBM_SETPOS, TRUE, 6);
    g.combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | WS_VSCROLL, 330, 20,
                              200, 200, g.window, nullptr, inst, nullptr);
    for (const wchar_t* item : {L"MSN", L"QQ2008", L"Vista", L"不使用皮肤"}) {
        SendMessageW(g.combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendMessageW(g.combo, CB_SETCURSEL, 0, 0);
    g.status = CreateWindowExW(0, STATUSCLASSNAMEW, L"皮肤设置>参数调整", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                               g.window, nullptr, inst, nullptr);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (HWND c : {g.group, g.check, g.titleCheck, g.slider, g.combo, g.status}) {
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    ShowWindow(g.window, SW_SHOW);
    SetForegroundWindow(g.window);
    SetFocus(g.window);
    Pump(400);
    return g;
}

RECT ScreenRect(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return r;
}

struct BoxProbe {
    HWND box = nullptr;
    Rgb face{}, caption{};
};
BoxProbe g_box;

void CALLBACK ProbeMessageBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"#32770", L"温馨提示");
    if (box == nullptr || !IsWindowVisible(box)) {
        return;
    }
    KillTimer(nullptr, id);
    Shot shot = Screen();
    SaveShot(shot, "messagebox");
    RECT r = ScreenRect(box), c;
    GetClientRect(box, &c);
    MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&c), 2);
    g_box.box = box;
    g_box.face = shot.At(c.left + 3, c.bottom - 3);
    g_box.caption = shot.At((r.left + r.right) / 2 + 20, (r.top + c.top) / 2 + 1);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

// ---- the suite: one engine, one host, in order ----

Shot plain_;                                  // the host before any skin
LONG_PTR plainProc_ = 0;                      // and its window procedure
std::vector<std::pair<POINT, LRESULT>> hits_; // the system's hit-test answers without a skin, window-relative

POINT OnScreen(POINT windowRelative) {
    RECT r;
    GetWindowRect(g_host.window, &r);
    return {r.left + windowRelative.x, r.top + windowRelative.y};
}

class EnginePaint : public ::testing::Test {};

TEST_F(EnginePaint, LoadsAndExportsTheFiveFunctions) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    g_engine.folder = std::wstring(temp) + L"pelk-engine-test-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(g_engine.folder.c_str(), nullptr);
    std::wstring dll = g_engine.folder + L"\\Pelk.dll";
    ASSERT_TRUE(CopyFileW((BuildDir() + L"\\Pelk.dll").c_str(), dll.c_str(), FALSE))
        << "Pelk.dll beside wintests/";
    g_engine.dll = LoadLibraryW(dll.c_str());
    ASSERT_NE(g_engine.dll, nullptr);
    auto get = [](const char* name) { return reinterpret_cast<void*>(GetProcAddress(g_engine.dll, name)); };
    g_engine.adjustHsv = reinterpret_cast<decltype(g_engine.adjustHsv)>(get("SkinH_AdjustHSV"));
    g_engine.setMenuAlpha = reinterpret_cast<decltype(g_engine.setMenuAlpha)>(get("SkinH_SetMenuAlpha"));
    g_engine.setAero = reinterpret_cast<decltype(g_engine.setAero)>(get("SkinH_SetAero"));
    g_engine.adjustAero = reinterpret_cast<decltype(g_engine.adjustAero)>(get("SkinH_AdjustAero"));
    g_engine.attach = reinterpret_cast<decltype(g_engine.attach)>(get("SkinH_Attach"));
    ASSERT_TRUE(g_engine.adjustHsv && g_engine.setMenuAlpha && g_engine.setAero && g_engine.adjustAero &&
                g_engine.attach);

    CreateHost();
    plain_ = Screen();
    SaveShot(plain_, "plain");
    plainProc_ = HostProcNow();
    Geometry g = HostGeometry();
    int y = g.window.top + g.captionH / 2;
    for (int x = g.window.left + 4; x < g.window.right - 2; x += 3) {
        POINT pt{x - g.window.left, y - g.window.top};
        hits_.push_back({pt, SendMessageW(g_host.window, WM_NCHITTEST, 0, MAKELPARAM(x, y))});
    }
}

TEST_F(EnginePaint, CallsBeforeAttachChangeNothing) {
    EXPECT_NE(g_engine.setMenuAlpha(128), 0);
    EXPECT_NE(g_engine.setAero(1), 0);
    EXPECT_NE(g_engine.adjustAero(0, 0, 6, 10, 0, 0, 0), 0);
    EXPECT_NE(g_engine.adjustHsv(120, 0, 0), 0);
    Pump(400);
    EXPECT_TRUE(Screen().SameIn(plain_, AroundHost(30)));
    EXPECT_EQ(HostProcNow(), plainProc_);
    EXPECT_EQ(FindWindowW(L"PelkShadow", nullptr), nullptr);
    g_engine.setAero(0);
    g_engine.adjustHsv(0, 0, 0);
    g_engine.setMenuAlpha(255);
}

TEST_F(EnginePaint, RefusedFilesReturnZeroAndChangeNothing) {
    std::vector<std::uint8_t> good = StoredSkin(0);
    ASSERT_GT(good.size(), 100u);
    auto flipped = good;
    flipped[good.size() / 2] ^= 0x40;
    auto badMagic = good;
    badMagic[0] = 'X';
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"empty file", {}},
        {"header only", std::vector<std::uint8_t>(good.begin(), good.begin() + 15)},
        {"truncated stream", std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() / 3)},
        {"flipped bit in the stream", flipped},
        {"wrong magic", badMagic},
        {"text", std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o'}},
    };
    for (const Case& c : cases) {
        PutSkinFile(c.bytes);
        EXPECT_EQ(g_engine.attach(), 0) << c.what;
    }
    DeleteFileW((g_engine.folder + L"\\skinh.she").c_str());
    EXPECT_EQ(g_engine.attach(), 0) << "no file";
    Pump(300);
    EXPECT_TRUE(Screen().SameIn(plain_, AroundHost(30)));
    EXPECT_EQ(HostProcNow(), plainProc_);
}

TEST_F(EnginePaint, AttachPaintsCaptionFaceButtonLabelAndEditInTheSkinsColours) {
    PutSkinFile(StoredSkin(0));
    ASSERT_NE(g_engine.attach(), 0);
    SetWindowTextW(g_host.edit, L"88888888");
    Pump(400);
    Shot shot = Screen();
    RECT e;
    GetWindowRect(g_host.edit, &e);
    int red = 0;
    for (int y = e.top; y < e.bottom; ++y) {
        for (int x = e.left; x < e.right; ++x) {
            Rgb c = shot.At(x, y);
            red += c.r > 150 && c.g < 90 && c.b < 90 ? 1 : 0;
        }
    }
    EXPECT_GT(red, 20) << "the program's own text colour stays under the skin";
    SetWindowTextW(g_host.edit, L"");
    Pump(200);
    shot = Screen();
    SaveShot(shot, "skin00");
    ExpectLook(shot, ExpectedFrom(DecodedSkin(0)), 12);
    EXPECT_FALSE(shot.SameIn(plain_, AroundHost(0)));
}

TEST_F(EnginePaint, SecondSkinSwitchesTheOpenWindowAtOnce) {
    Shot before = Screen();
    PutSkinFile(StoredSkin(12));
    ASSERT_NE(g_engine.attach(), 0);
    Pump(300);
    Shot after = Screen();
    SaveShot(after, "skin12");
    ExpectLook(after, ExpectedFrom(DecodedSkin(12)), 12);
    Samples p = SamplePoints();
    EXPECT_GT(Distance(before.At(p.caption.x, p.caption.y), after.At(p.caption.x, p.caption.y)), 30);

    // A window printed (PrintWindow) shows the same skinned frame and face as the screen.
    Geometry g = HostGeometry();
    int w = g.window.right - g.window.left, h = g.window.bottom - g.window.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    ASSERT_TRUE(PrintWindow(g_host.window, mem, 0));
    Rgb printedCaption = FromColorRef(GetPixel(mem, p.caption.x - g.window.left, p.caption.y - g.window.top));
    Rgb printedFace = FromColorRef(GetPixel(mem, p.face.x - g.window.left, p.face.y - g.window.top));
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    EXPECT_LE(Distance(printedCaption, after.At(p.caption.x, p.caption.y)), 3) << Show(printedCaption);
    EXPECT_LE(Distance(printedFace, after.At(p.face.x, p.face.y)), 3) << Show(printedFace);
}

TEST_F(EnginePaint, RefusedFileAfterAttachKeepsTheLook) {
    Shot before = Screen();
    PutSkinFile({'.', 'S', 'H', 'E', 0, 3, 0xff, 0xff, 0xff, 0xff, 0x5d, 0, 0, 0x80, 0});
    EXPECT_EQ(g_engine.attach(), 0);
    Pump(300);
    EXPECT_TRUE(Screen().SameIn(before, AroundHost(0)));
}

TEST_F(EnginePaint, GroupBoxCheckBoxSliderComboStatusBarAndMessageBoxWearTheSkin) {
    Skin skin = DecodedSkin(12);
    Gallery g = MakeGallery();
    Shot shot = Screen();
    SaveShot(shot, "controls");
    RECT gb = ScreenRect(g.group), sl = ScreenRect(g.slider), cb = ScreenRect(g.combo),
         sb = ScreenRect(g.status);
    struct Row {
        const char* part;
        POINT at;
        Rgb want;
    } rows[] = {
        {"group box frame", {gb.left, (gb.top + gb.bottom) / 2}, skin.groupBox.frame},
        {"group box inside", {gb.right - 6, gb.bottom - 6}, skin.face},
        {"slider background", {sl.left + 1, sl.top + 1}, skin.face},
        {"combo border", {cb.left, (cb.top + cb.bottom) / 2}, skin.combo.border},
        {"status bar", {sb.right - 30, (sb.top + sb.bottom) / 2}, skin.statusBar.face},
    };
    for (const Row& row : rows) {
        Rgb got = shot.At(row.at.x, row.at.y);
        EXPECT_LE(Distance(got, row.want), 3)
            << row.part << ": got " << Show(got) << ", skin has " << Show(row.want);
    }

    // Repainting the group box alone leaves the check box over its edge as it was.
    RECT tc = ScreenRect(g.titleCheck);
    RedrawWindow(g.group, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Pump(200);
    EXPECT_TRUE(Screen().SameIn(shot, tc));

    COMBOBOXINFO cbi{};
    cbi.cbSize = sizeof(cbi);
    ASSERT_TRUE(GetComboBoxInfo(g.combo, &cbi));
    SendMessageW(g.combo, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(cbi.hwndList, LB_SETCURSEL, 1, 0);
    Pump(300);
    Shot dropped = Screen();
    SaveShot(dropped, "combo-dropped");
    RECT list = ScreenRect(cbi.hwndList);
    RECT item;
    SendMessageW(cbi.hwndList, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    MapWindowPoints(cbi.hwndList, nullptr, reinterpret_cast<POINT*>(&item), 2);
    Rgb selected = dropped.At(item.right - 4, (item.top + item.bottom) / 2);
    Rgb plain = dropped.At(item.right - 4, item.bottom + (item.bottom - item.top) / 2);
    EXPECT_LE(Distance(selected, skin.list.selectionBackground), 3) << Show(selected);
    EXPECT_LE(Distance(plain, skin.list.background), 3) << Show(plain);
    EXPECT_LE(Distance(dropped.At(list.left, (list.top + list.bottom) / 2), skin.list.border), 3);
    SendMessageW(g.combo, CB_SHOWDROPDOWN, FALSE, 0);

    g_box = {};
    SetTimer(nullptr, 0, 100, &ProbeMessageBox);
    MessageBoxW(g.window, L"系统已经成功设置窗体阴影！", L"温馨提示", MB_OK | MB_ICONINFORMATION);
    ASSERT_NE(g_box.box, nullptr) << "the message box never showed";
    EXPECT_LE(Distance(g_box.face, skin.face), 3) << Show(g_box.face);
    Rgb bar = GridPixel(skin.captionActive.bar, 40, 22, 20, 11); // any middle pixel of the bar
    EXPECT_LE(Distance(g_box.caption, bar), 40) << Show(g_box.caption) << " vs " << Show(bar);
    DestroyWindow(g.window);
    Pump(200);
}

TEST_F(EnginePaint, HueShiftRotatesTheCaptionHue) {
    Samples p = SamplePoints();
    Rgb base = Screen().At(p.caption.x, p.caption.y);
    ASSERT_GT(std::max({base.r, base.g, base.b}) - std::min({base.r, base.g, base.b}), 40)
        << "caption has a hue";
    ASSERT_NE(g_engine.adjustHsv(120, 0, 0), 0);
    Pump(300);
    Rgb turned = Screen().At(p.caption.x, p.caption.y);
    double shift = std::fmod(Hue(turned) - Hue(base) + 360.0, 360.0);
    EXPECT_NEAR(shift, 120.0, 8.0) << Show(base) << " -> " << Show(turned);
    ASSERT_NE(g_engine.adjustHsv(0, 0, 0), 0);
    Pump(300);
    EXPECT_LE(Distance(Screen().At(p.caption.x, p.caption.y), base), 2);
}

TEST_F(EnginePaint, HitTestingStaysWhereTheSystemPutsIt) {
    int moved = 0;
    for (const auto& [rel, hit] : hits_) {
        POINT pt = OnScreen(rel);
        if (SendMessageW(g_host.window, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)) != hit) {
            ++moved;
        }
    }
    EXPECT_EQ(moved, 0);
    auto has = [](LRESULT want) {
        return std::any_of(hits_.begin(), hits_.end(), [want](const auto& h) { return h.second == want; });
    };
    EXPECT_TRUE(has(HTCAPTION) && has(HTCLOSE) && has(HTMINBUTTON));
}

TEST_F(EnginePaint, PopupMenuWearsTheMenuColoursAndIsLayeredWithTheAlpha) {
    Skin skin = DecodedSkin(12);
    // A menu is never less than a quarter opaque: at 0 nobody could see the tray menu that brings
    // the program back.
    const struct {
        int given, applied;
    } alphas[] = {{0, 64}, {1, 64}, {63, 64}, {64, 64}, {128, 128}, {254, 254}};
    for (const auto& a : alphas) {
        SCOPED_TRACE(a.given);
        ASSERT_NE(g_engine.setMenuAlpha(a.given), 0);
        g_menu = {};
        SendMessageW(g_host.window, kPopMenu, 0, 0);
        ASSERT_NE(g_menu.window, nullptr) << "the menu never showed";
        EXPECT_TRUE(g_menu.layered);
        EXPECT_EQ(g_menu.layeredFlags & LWA_ALPHA, static_cast<DWORD>(LWA_ALPHA));
        EXPECT_EQ(g_menu.alpha, a.applied);
    }
    EXPECT_LE(Distance(FromColorRef(g_menu.background), skin.menu.background), 3)
        << Show(FromColorRef(g_menu.background)) << " vs " << Show(skin.menu.background);
    EXPECT_LE(Distance(FromColorRef(g_menu.selected), skin.menu.selectedBackground), 3)
        << Show(FromColorRef(g_menu.selected)) << " vs " << Show(skin.menu.selectedBackground);
    g_engine.setMenuAlpha(255);
    Pump(200);
}

TEST_F(EnginePaint, SystemMenuStillOpens) {
    g_menu = {};
    SetTimer(g_host.window, kMenuTimer, 100, nullptr);
    SendMessageW(g_host.window, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    KillTimer(g_host.window, kMenuTimer);
    EXPECT_NE(g_menu.window, nullptr);
    Pump(200);
}

TEST_F(EnginePaint, ShadowDarkensTheEdgeFollowsTheWindowAndNeverTakesClicks) {
    Geometry g = HostGeometry();
    POINT right{g.window.right + 3, (g.window.top + g.window.bottom) / 2};
    POINT below{(g.window.left + g.window.right) / 2, g.window.bottom + 3};
    Shot before = Screen();
    ASSERT_NE(g_engine.adjustAero(0, 0, 6, 10, 0, 0, 0), 0);
    ASSERT_NE(g_engine.setAero(1), 0);
    Pump(500);
    Shot on = Screen();
    SaveShot(on, "shadow");
    for (POINT pt : {right, below}) {
        EXPECT_LT(Brightness(on.At(pt.x, pt.y)) + 30, Brightness(before.At(pt.x, pt.y)))
            << pt.x << "," << pt.y << ": " << Show(on.At(pt.x, pt.y)) << " vs "
            << Show(before.At(pt.x, pt.y));
    }
    HWND shadow = FindWindowW(L"PelkShadow", nullptr);
    ASSERT_NE(shadow, nullptr);
    LONG ex = GetWindowLongW(shadow, GWL_EXSTYLE);
    EXPECT_EQ(ex & (WS_EX_TRANSPARENT | WS_EX_LAYERED | WS_EX_NOACTIVATE),
              static_cast<LONG>(WS_EX_TRANSPARENT | WS_EX_LAYERED | WS_EX_NOACTIVATE));
    EXPECT_EQ(ex & WS_EX_APPWINDOW, 0);
    EXPECT_EQ(GetWindow(shadow, GW_OWNER), g_host.window);
    EXPECT_NE(WindowFromPoint(right), shadow);
    // The window itself is never covered.
    Samples p = SamplePoints();
    EXPECT_EQ(on.At(p.face.x, p.face.y), before.At(p.face.x, p.face.y));

    SetWindowPos(g_host.window, nullptr, g.window.left + 60, g.window.top + 40, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(500);
    Shot moved = Screen();
    SaveShot(moved, "shadow-moved");
    POINT newRight{right.x + 60, right.y + 40};
    EXPECT_LT(Brightness(moved.At(newRight.x, newRight.y)) + 30,
              Brightness(before.At(newRight.x, newRight.y)));
    POINT oldLeft{g.window.left - 20, g.window.top + 10}; // left bare by the move
    EXPECT_LE(Distance(moved.At(oldLeft.x, oldLeft.y), before.At(oldLeft.x, oldLeft.y)), 2);

    ShowWindow(g_host.window, SW_HIDE);
    Pump(300);
    EXPECT_FALSE(IsWindowVisible(shadow));
    ShowWindow(g_host.window, SW_SHOWNOACTIVATE);
    Pump(500);
    EXPECT_TRUE(IsWindowVisible(shadow));
    ShowWindow(g_host.window, SW_MINIMIZE);
    Pump(300);
    EXPECT_FALSE(IsWindowVisible(shadow));
    ShowWindow(g_host.window, SW_RESTORE);
    SetWindowPos(g_host.window, nullptr, g.window.left, g.window.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Pump(500);
    EXPECT_TRUE(IsWindowVisible(shadow));

    ASSERT_NE(g_engine.setAero(0), 0);
    Pump(400);
    Shot off = Screen();
    for (POINT pt : {right, below}) {
        EXPECT_LE(Distance(off.At(pt.x, pt.y), before.At(pt.x, pt.y)), 2) << pt.x << "," << pt.y;
    }
}

// Mouse input comes from a second thread: the system's move loop is modal on this one.
template <typename F> DWORD WINAPI RunInput(LPVOID p) {
    (*static_cast<F*>(p))();
    return 0;
}

template <typename F> void WhilePumping(F input) {
    HANDLE thread = CreateThread(nullptr, 0, &RunInput<F>, &input, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 5000, QS_ALLINPUT) != WAIT_OBJECT_0) {
        Pump(0);
    }
    CloseHandle(thread);
    Pump(300);
}

POINT g_pointer{}; // where the input thread last put the pointer

INPUT MouseAt(POINT at, DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return in;
}

// A press or release carries the pointer's place, as a real mouse's do; under Wine a button event
// without one can land where the pointer was some moves ago.
void Button(DWORD flags) {
    INPUT in = MouseAt(g_pointer, flags);
    SendInput(1, &in, sizeof(in));
}

// Pointer moves go through the input queue like a real mouse's, so the program sees them in order
// with the button presses.
void MoveTo(int x, int y) {
    g_pointer = {x, y};
    INPUT in = MouseAt(g_pointer, 0);
    SendInput(1, &in, sizeof(in));
    Sleep(20);
}

void Click(POINT at) {
    WhilePumping([at] {
        MoveTo(at.x, at.y);
        Sleep(100);
        Button(MOUSEEVENTF_LEFTDOWN);
        Sleep(150);
        Button(MOUSEEVENTF_LEFTUP);
    });
}

POINT FirstHit(LRESULT want) {
    for (const auto& [rel, hit] : hits_) {
        if (hit == want) {
            POINT pt = OnScreen(rel);
            return {pt.x + 2, pt.y};
        }
    }
    return {-1, -1};
}

TEST_F(EnginePaint, CaptionStillDragsAndTheMinimiseAndCloseBoxesStillWork) {
    Geometry g = HostGeometry();
    POINT grip{g.window.left + 60, g.window.top + g.captionH / 2};
    WhilePumping([grip] {
        MoveTo(grip.x, grip.y);
        Sleep(100);
        Button(MOUSEEVENTF_LEFTDOWN);
        Sleep(150);
        for (int i = 1; i <= 5; ++i) {
            MoveTo(grip.x + 8 * i, grip.y + 4 * i);
            Sleep(60);
        }
        Button(MOUSEEVENTF_LEFTUP);
    });
    RECT now;
    GetWindowRect(g_host.window, &now);
    EXPECT_EQ(now.left - g.window.left, 40);
    EXPECT_EQ(now.top - g.window.top, 20);
    Pump(200);

    POINT minimise = FirstHit(HTMINBUTTON);
    ASSERT_GE(minimise.x, 0);
    Click(minimise);
    EXPECT_TRUE(IsIconic(g_host.window));
    ShowWindow(g_host.window, SW_RESTORE);
    SetForegroundWindow(g_host.window);
    Pump(300);

    POINT close = FirstHit(HTCLOSE);
    ASSERT_GE(close.x, 0);
    // The close box lights up under the pointer and looks pushed while held; let go elsewhere, it
    // does nothing. The pointer is not in a screenshot, but stay clear of it anyway.
    POINT look{close.x - 3, close.y - 3};
    POINT away = OnScreen({kHostW / 2, HostGeometry().captionH / 2});
    Shot normal, hot, pressed, slipped;
    WhilePumping([&] {
        MoveTo(away.x, away.y + 120);
        Sleep(300);
        normal = Screen();
        MoveTo(close.x, close.y);
        Sleep(300);
        hot = Screen();
        Button(MOUSEEVENTF_LEFTDOWN);
        Sleep(300);
        pressed = Screen();
        MoveTo(away.x, away.y);
        Sleep(300);
        slipped = Screen();
        Button(MOUSEEVENTF_LEFTUP);
        Sleep(300);
    });
    SaveShot(hot, "close-hot");
    SaveShot(pressed, "close-pressed");
    EXPECT_GT(Distance(normal.At(look.x, look.y), hot.At(look.x, look.y)), 5);
    EXPECT_GT(Distance(hot.At(look.x, look.y), pressed.At(look.x, look.y)), 10);
    EXPECT_GT(Distance(pressed.At(look.x, look.y), slipped.At(look.x, look.y)), 10);
    EXPECT_TRUE(IsWindow(g_host.window)) << "released away from the close box";

    Click(close);
    EXPECT_TRUE(g_host.closed);
    EXPECT_FALSE(IsWindow(g_host.window));
    EXPECT_EQ(FindWindowW(L"PelkShadow", nullptr), nullptr) << "the shadow goes with its window";
}

// The program frees the library in its exit clean-up while some windows still live.
TEST_F(EnginePaint, UnloadingHandsEveryWindowBackToItsOwnProcedure) {
    Gallery g = MakeGallery();
    auto classProc = GetClassLongPtrW(g.window, GCLP_WNDPROC);
    ASSERT_NE(GetWindowLongPtrW(g.window, GWLP_WNDPROC), classProc) << "skinned while the engine is loaded";
    g_engine.setAero(1);
    Pump(300);
    ASSERT_TRUE(FreeLibrary(g_engine.dll));
    g_engine = {};
    EXPECT_EQ(GetWindowLongPtrW(g.window, GWLP_WNDPROC), classProc);
    EXPECT_EQ(FindWindowW(L"PelkShadow", nullptr), nullptr);
    // Painting, a message box and a new window all run without the library.
    RedrawWindow(g.window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    SendMessageW(g.combo, CB_SHOWDROPDOWN, TRUE, 0);
    Pump(200);
    SendMessageW(g.combo, CB_SHOWDROPDOWN, FALSE, 0);
    HWND later = CreateWindowExW(0, L"EnginePaintHost", L"later", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                                 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(later, nullptr);
    Pump(200);
    DestroyWindow(later);
    DestroyWindow(g.window);
    Pump(100);
}

LRESULT CALLBACK PassOn(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// The program's window layer subclasses its controls after the engine did: the engine cannot be
// taken out of that chain, so freeing the library must leave it in place, still working.
TEST_F(EnginePaint, UnloadingUnderAnotherSubclassKeepsTheLibraryAndTheWindowsWorking) {
    // A copy of its own, so this test gets a fresh instance of the library whatever ran before.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"pelk-engine-again-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring path = folder + L"\\Pelk.dll";
    ASSERT_TRUE(CopyFileW((BuildDir() + L"\\Pelk.dll").c_str(), path.c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\skinh.she", StoredSkin(0)));
    HMODULE lib = LoadLibraryW(path.c_str());
    ASSERT_NE(lib, nullptr);
    auto attach =
        reinterpret_cast<int(__stdcall*)()>(reinterpret_cast<void*>(GetProcAddress(lib, "SkinH_Attach")));
    ASSERT_NE(attach, nullptr);
    ASSERT_NE(attach(), 0);
    Gallery g = MakeGallery();
    ASSERT_TRUE(SetWindowSubclass(g.check, &PassOn, 1, 0));
    ASSERT_TRUE(SetWindowSubclass(g.window, &PassOn, 1, 0));
    SendMessageW(g.check, BM_SETCHECK, BST_UNCHECKED, 0);
    Pump(200);
    ASSERT_TRUE(FreeLibrary(lib));
    EXPECT_NE(GetModuleHandleW(path.c_str()), nullptr);
    SendMessageW(g.check, BM_SETCHECK, BST_CHECKED, 0);
    RedrawWindow(g.window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(200);
    EXPECT_EQ(SendMessageW(g.check, BM_GETCHECK, 0, 0), BST_CHECKED);
    DestroyWindow(g.window);
    Pump(100);
}

} // namespace
