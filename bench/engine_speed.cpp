// Pelk.dll on a window full of controls: how long attaching and recolouring take, and whether
// switching skins again and again leaks GDI objects, window objects or memory.
// Run: tests/wine/run --desktop build/wintests/engine_speed.exe
#include <windows.h>
// commctrl.h needs the types of windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring BuildDir() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe(path, n);
    exe.resize(exe.find_last_of(L'\\'));
    exe.resize(exe.find_last_of(L'\\'));
    return exe;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Usage {
    DWORD gdi, user;
    SIZE_T privateBytes;
};

// Private committed memory, summed from the address space itself: Wine's process counters stay 0.
SIZE_T CommittedPrivate() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION mbi;
    for (auto* p = static_cast<const char*>(nullptr); VirtualQuery(p, &mbi, sizeof(mbi)) == sizeof(mbi);
         p = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) {
            total += mbi.RegionSize;
        }
        if (static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize < p) {
            break;
        }
    }
    return total;
}

Usage UsageNow() {
    // Wine answers 0 for the object counts (real Windows gives them).
    return {GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
            GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), CommittedPrivate()};
}

HWND MakeWindow() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"EngineSpeed";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, L"EngineSpeed", L"engine_speed",
                             WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 40, 40, 700, 420, nullptr,
                             nullptr, inst, nullptr);
    for (int i = 0; i < 12; ++i) {
        int x = 10 + (i % 4) * 170, y = 10 + (i / 4) * 40;
        CreateWindowExW(0, L"BUTTON", L"按钮", WS_CHILD | WS_VISIBLE, x, y, 160, 32, w, nullptr, inst,
                        nullptr);
        CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"30", WS_CHILD | WS_VISIBLE, x, y + 130, 160, 24, w,
                        nullptr, inst, nullptr);
    }
    HWND group = CreateWindowExW(0, L"BUTTON", L"分组框", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 10, 300, 330,
                                 80, w, nullptr, inst, nullptr);
    CreateWindowExW(0, L"BUTTON", L"选择框", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 20, 100, 24, group,
                    nullptr, inst, nullptr);
    HWND slider = CreateWindowExW(0, TRACKBAR_CLASSW, L"", WS_CHILD | WS_VISIBLE | TBS_AUTOTICKS, 120, 20,
                                  200, 30, group, nullptr, inst, nullptr);
    SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 18));
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, 360, 310, 200,
                                 200, w, nullptr, inst, nullptr);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"MSN"));
    CreateWindowExW(0, STATUSCLASSNAMEW, L"皮肤设置>参数调整", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, w, nullptr,
                    inst, nullptr);
    Pump();
    return w;
}

} // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"pelk-speed-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring dll = folder + L"\\Pelk.dll", current = folder + L"\\skinh.she";
    if (!CopyFileW((BuildDir() + L"\\Pelk.dll").c_str(), dll.c_str(), FALSE)) {
        std::printf("Pelk.dll not found beside wintests/\n");
        return 1;
    }
    auto skinFile = [](int i) {
        wchar_t name[32];
        wsprintfW(name, L"\\%02d.she", i);
        return std::wstring(L"" TRIGORA_SKIN_DIR) + name;
    };
    HMODULE lib = LoadLibraryW(dll.c_str());
    auto attach =
        reinterpret_cast<int(__stdcall*)()>(reinterpret_cast<void*>(GetProcAddress(lib, "SkinH_Attach")));
    auto hsv = reinterpret_cast<int(__stdcall*)(int, int, int)>(
        reinterpret_cast<void*>(GetProcAddress(lib, "SkinH_AdjustHSV")));
    if (attach == nullptr || hsv == nullptr) {
        std::printf("exports missing\n");
        return 1;
    }

    MakeWindow();
    Usage start = UsageNow();
    CopyFileW(skinFile(0).c_str(), current.c_str(), FALSE);
    double t0 = Now();
    int ok = attach();
    double first = Now() - t0;
    Pump();

    std::vector<double> reattach, recolour;
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 29; ++i) {
            CopyFileW(skinFile(i).c_str(), current.c_str(), FALSE);
            t0 = Now();
            ok &= attach() != 0 ? 1 : 0;
            reattach.push_back(Now() - t0);
            Pump();
        }
    }
    Usage afterSkins = UsageNow();
    for (int i = 0; i < 116; ++i) {
        t0 = Now();
        hsv(i % 361 - 180, (i * 7) % 201 - 100, (i * 13) % 201 - 100);
        recolour.push_back(Now() - t0);
        Pump();
    }
    hsv(0, 0, 0);
    Pump();
    Usage end = UsageNow();

    std::printf("all attaches accepted: %s\n", ok != 0 ? "yes" : "NO");
    std::printf("first attach (hook, subclass, repaint):      %7.1f ms\n", first);
    std::printf("attach of another skin, median of %3zu:       %7.1f ms (max %.1f)\n", reattach.size(),
                Median(reattach), *std::max_element(reattach.begin(), reattach.end()));
    std::printf("AdjustHSV with repaint, median of %3zu:       %7.1f ms (max %.1f)\n", recolour.size(),
                Median(recolour), *std::max_element(recolour.begin(), recolour.end()));
    std::printf("GDI objects   start %5lu  after 116 attaches %5lu  after 116 recolours %5lu\n", start.gdi,
                afterSkins.gdi, end.gdi);
    std::printf("USER objects  start %5lu  after 116 attaches %5lu  after 116 recolours %5lu\n", start.user,
                afterSkins.user, end.user);
    std::printf("committed     start %5lu KiB  after attaches %5lu KiB  after recolours %5lu KiB\n",
                static_cast<unsigned long>(start.privateBytes / 1024),
                static_cast<unsigned long>(afterSkins.privateBytes / 1024),
                static_cast<unsigned long>(end.privateBytes / 1024));
    return 0;
}
