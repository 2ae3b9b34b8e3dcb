// The program measured under Wine from outside, as the end-to-end tests drive it: start-up against
// Wine's notepad, keystroke round trips, skin switches against a plain repaint, memory and handles.
//   wine_bench [startup] [keys] [switch]     (none: all three)
// Lines "S|what|ours|reference|ratio" are summary rows for bench/run; the rest is detail.
#include "driver.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace driver;

namespace {

// Controls of the main window by table order.
struct Box {
    const char* name;
    int order;
    const wchar_t* cycle; // typed, then taken back by as many backspaces: every key changes the text
};
const Box kBoxes[] = {
    {"编辑框1", 67, L"-123.375"},
    {"编辑框5", 54, L"2.718281828"},
    {"编辑框16", 31, L"-30.5"},
    {"编辑框22", 19, L"0.70710678"},
};
constexpr int kKeystrokes = 10000;
constexpr int kOpenDescription = 21;       // 按钮2
constexpr UINT kOpenSkinSettings = 0x8003; // tray menu entry 3, "皮肤"
constexpr int kSkinListOrder = 3;          // 组合框1
constexpr DWORD kNoSkin = 29;
constexpr DWORD kSilverWhite = 17; // 银白, the largest skin
const wchar_t kSettingsKey[] = L"Software\\Microsoft\\Vornel\\Trigora";

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
    return v[i];
}

double Median(const std::vector<double>& v) {
    return Percentile(v, 0.5);
}

void Summary(const std::string& what, double ours, double reference, const std::string& referenceName,
             const char* format = "%.1f") {
    char a[64];
    char b[64];
    std::snprintf(a, sizeof a, format, ours);
    std::snprintf(b, sizeof b, format, reference);
    std::printf("S|%s|%s|%s (%s)|%.2f\n", what.c_str(), a, b, referenceName.c_str(), ours / reference);
    std::fflush(stdout);
}

// The saved skin for the next start: nothing saved (the defaults), or one catalogue index.
void SaveSkin(bool any, DWORD skin = 0) {
    RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    if (any) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"SkinID", REG_DWORD, &skin, sizeof skin);
    }
}

// ---- Start-up ---------------------------------------------------------------------------------

struct Found {
    DWORD pid;
    const wchar_t* cls;
    const wchar_t* caption;
    HWND hwnd;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == f->pid && IsWindowVisible(hwnd) && ClassName(hwnd) == f->cls &&
        (f->caption == nullptr || Text(hwnd) == f->caption)) {
        f->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Seconds from CreateProcess to its main window visible and the program idle (a sent message
// answered); the process is ended afterwards. Negative when it did not get there.
double StartOnce(const std::wstring& exe, const wchar_t* cls, const wchar_t* caption, HWND* mainOut = nullptr,
                 PROCESS_INFORMATION* keep = nullptr) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const double t0 = Seconds();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        return -1;
    }
    Found f{pi.dwProcessId, cls, caption, nullptr};
    double elapsed = -1;
    while (Seconds() - t0 < 30) {
        EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&f));
        if (f.hwnd != nullptr) {
            DWORD_PTR r = 0;
            SendMessageTimeoutW(f.hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r);
            elapsed = Seconds() - t0;
            break;
        }
        Sleep(1);
    }
    if (keep != nullptr) {
        *keep = pi;
        if (mainOut != nullptr) {
            *mainOut = f.hwnd;
        }
        return elapsed;
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    Sleep(200); // let the tray and the desktop forget the window
    return elapsed;
}

void Startup() {
    const std::wstring notepad = L"C:\\windows\\system32\\notepad.exe";
    const std::wstring trigora = TrigoraExe();
    // One start each to write the engine's files and fill the file cache; not counted.
    SaveSkin(false);
    StartOnce(notepad, L"Notepad", nullptr);
    StartOnce(trigora, L"TrigoraWindow", L"Trigora1.0");
    std::vector<double> np, noSkin, silver, byDefault;
    for (int i = 0; i < 15; ++i) {
        np.push_back(StartOnce(notepad, L"Notepad", nullptr));
        SaveSkin(true, kNoSkin);
        noSkin.push_back(StartOnce(trigora, L"TrigoraWindow", L"Trigora1.0"));
        SaveSkin(false);
        byDefault.push_back(StartOnce(trigora, L"TrigoraWindow", L"Trigora1.0"));
        SaveSkin(true, kSilverWhite);
        silver.push_back(StartOnce(trigora, L"TrigoraWindow", L"Trigora1.0"));
    }
    SaveSkin(false);
    for (auto* v : {&np, &noSkin, &byDefault, &silver}) {
        if (std::find_if(v->begin(), v->end(), [](double t) { return t < 0; }) != v->end()) {
            std::printf("start-up: a start did not show its window within 30 s\n");
            return;
        }
    }
    const double ref = Median(np) * 1e3;
    Summary("Start-up to MainWindow idle, no skin, median of 15, ms", Median(noSkin) * 1e3, ref, "notepad");
    Summary("Start-up to MainWindow idle, saved skin MSN (the default), median of 15, ms",
            Median(byDefault) * 1e3, ref, "notepad");
    Summary("Start-up to MainWindow idle, saved skin 银白, median of 15, ms", Median(silver) * 1e3, ref,
            "notepad");
    std::printf("\n| start-up, 15 cold starts each, ms | median | min | max |\n|---|---:|---:|---:|\n");
    const struct {
        const char* name;
        const std::vector<double>& v;
    } rows[] = {{"notepad.exe", np},
                {"Trigora, no skin", noSkin},
                {"Trigora, MSN", byDefault},
                {"Trigora, 银白", silver}};
    for (const auto& r : rows) {
        std::printf("| %s | %.1f | %.1f | %.1f |\n", r.name, Median(r.v) * 1e3,
                    *std::min_element(r.v.begin(), r.v.end()) * 1e3,
                    *std::max_element(r.v.begin(), r.v.end()) * 1e3);
    }
    std::printf("\n");
}

// ---- Keystrokes -------------------------------------------------------------------------------

// Round trips of WM_CHAR into one box: the send returns when the box and every handler it set off
// (results written, nested content-changed events) have run.
std::vector<double> TypeInto(HWND edit, const wchar_t* cycle, int count) {
    std::vector<double> times;
    times.reserve(static_cast<size_t>(count) + 32);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 1);
    const size_t n = wcslen(cycle);
    while (static_cast<int>(times.size()) < count) {
        for (size_t i = 0; i < 2 * n; ++i) {
            const WPARAM ch = i < n ? cycle[i] : VK_BACK;
            const double t0 = Seconds();
            SendMessageW(edit, WM_CHAR, ch, 1);
            times.push_back(Seconds() - t0);
        }
    }
    return times;
}

// Wine answers GetGuiResources and PrivateUsage with 0, so under Wine: GDI objects are counted in
// the program's own handle table (its process block points at it, as on Windows), and private
// bytes are the resident anonymous memory of its Unix process.
struct GdiEntry { // Wine's layout of one handle table entry
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type; // 0: free
    UCHAR flags;
    UINT64 user;
};
static_assert(sizeof(GdiEntry) == 24);
constexpr size_t kGdiEntries = 0x10000;

long GdiTableCount(HANDLE process) {
    using QueryFn = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    struct {
        LONG exitStatus;
        const char* peb;
        ULONG_PTR rest[4];
    } info{};
    ULONG got = 0;
    if (query == nullptr || query(process, 0, &info, sizeof info, &got) != 0) {
        return -1;
    }
    const char* table = nullptr;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, info.peb + 0x94, &table, sizeof table, &read) || table == nullptr) {
        return -1; // 0x94: GdiSharedHandleTable in a 32-bit process block
    }
    static std::vector<GdiEntry> entries(kGdiEntries);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(GdiEntry), &read)) {
        return -1;
    }
    return static_cast<long>(
        std::count_if(entries.begin(), entries.end(), [](const GdiEntry& e) { return e.type != 0; }));
}

// Whether the table count follows objects made and deleted here; if not, it is not reported.
bool GdiTableCountWorks() {
    const long before = GdiTableCount(GetCurrentProcess());
    HBRUSH made[10];
    for (HBRUSH& b : made) {
        b = CreateSolidBrush(RGB(1, 2, 3));
    }
    const long during = GdiTableCount(GetCurrentProcess());
    for (HBRUSH b : made) {
        DeleteObject(b);
    }
    const long after = GdiTableCount(GetCurrentProcess());
    return before >= 0 && during == before + 10 && after == before;
}

std::string ReadWhole(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string out;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        out.append(buffer, got);
    }
    CloseHandle(f);
    return out;
}

// /proc/N/status of the Unix process that runs Trigora.exe in this prefix; empty when not found.
std::string UnixStatusOfTrigora() {
    wchar_t prefix[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH) == 0) {
        return {};
    }
    const std::string wanted = "WINEPREFIX=" + Utf8(prefix);
    WIN32_FIND_DATAW d;
    HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &d);
    std::string status;
    if (find == INVALID_HANDLE_VALUE) {
        return {};
    }
    do {
        if (d.cFileName[0] < L'0' || d.cFileName[0] > L'9') {
            continue;
        }
        const std::wstring dir = std::wstring(L"Z:\\proc\\") + d.cFileName;
        const std::string cmdline = ReadWhole(dir + L"\\cmdline");
        if (cmdline.find("Trigora.exe") == std::string::npos) {
            continue;
        }
        const std::string environment = ReadWhole(dir + L"\\environ");
        const std::string entry = wanted + '\0';
        if (environment.find(entry) != std::string::npos) {
            status = ReadWhole(dir + L"\\status");
            break;
        }
    } while (FindNextFileW(find, &d));
    FindClose(find);
    return status;
}

long StatusKiB(const std::string& status, const char* field) {
    const size_t at = status.find(std::string("\n") + field + ":");
    return at == std::string::npos ? -1 : std::atol(status.c_str() + at + std::strlen(field) + 2);
}

BOOL CALLBACK AddWindow(HWND hwnd, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
    return TRUE;
}

struct Usage {
    long workingSetKiB = -1;
    long privateKiB = -1;
    long gdi = -1;
    long user = -1; // USER objects; under Wine the program's windows
};

bool g_gdiTable = false;
bool g_underWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;

Usage UsageOf(const Trigora& app) {
    Usage u;
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(app.Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
        u.workingSetKiB = static_cast<long>(pmc.WorkingSetSize >> 10);
        u.privateKiB = pmc.PrivateUsage != 0 ? static_cast<long>(pmc.PrivateUsage >> 10) : -1;
    }
    if (!g_underWine) {
        u.gdi = static_cast<long>(GetGuiResources(app.Process(), GR_GDIOBJECTS));
        u.user = static_cast<long>(GetGuiResources(app.Process(), GR_USEROBJECTS));
        return u;
    }
    u.privateKiB = StatusKiB(UnixStatusOfTrigora(), "RssAnon");
    if (g_gdiTable) {
        u.gdi = GdiTableCount(app.Process());
    }
    std::vector<HWND> windows;
    for (HWND top : TopLevelWindows(app.ProcessId())) {
        windows.push_back(top);
        EnumChildWindows(top, AddWindow, reinterpret_cast<LPARAM>(&windows));
    }
    u.user = static_cast<long>(windows.size());
    return u;
}

std::string Figure(long v) {
    return v < 0 ? std::string("n/a") : std::to_string(v);
}

void UsageRow(const char* when, const Usage& u) {
    std::printf("| %s | %s | %s | %s | %s |\n", when, Figure(u.workingSetKiB).c_str(),
                Figure(u.privateKiB).c_str(), Figure(u.gdi).c_str(), Figure(u.user).c_str());
}

void Keys() {
    // The reference: the same keys into Wine's own edit control, in notepad.
    PROCESS_INFORMATION np{};
    HWND npMain = nullptr;
    if (StartOnce(L"C:\\windows\\system32\\notepad.exe", L"Notepad", nullptr, &npMain, &np) < 0) {
        std::printf("keystrokes: notepad did not start\n");
        return;
    }
    HWND npEdit = FindWindowExW(npMain, nullptr, L"Edit", nullptr);
    const std::vector<double> ref = TypeInto(npEdit, kBoxes[0].cycle, kKeystrokes);
    TerminateProcess(np.hProcess, 0);
    WaitForSingleObject(np.hProcess, 10000);
    CloseHandle(np.hProcess);
    CloseHandle(np.hThread);
    const double refMedian = Median(ref) * 1e6;
    const double refP99 = Percentile(ref, 0.99) * 1e6;

    std::printf("\n| keystroke round trip, µs | look | median | p99 | max | notepad median | notepad p99 |\n"
                "|---|---|---:|---:|---:|---:|---:|\n");
    for (const bool skinned : {false, true}) {
        SaveSkin(true, skinned ? kSilverWhite : kNoSkin);
        Trigora app;
        if (!app.Started()) {
            std::printf("keystrokes: Trigora did not start\n");
            return;
        }
        const char* look = skinned ? "银白" : "no skin";
        std::vector<double> all;
        for (const Box& b : kBoxes) {
            const std::vector<double> t = TypeInto(ControlByOrder(app.Main(), b.order), b.cycle, kKeystrokes);
            std::printf("| %s | %s | %.1f | %.1f | %.1f | %.1f | %.1f |\n", b.name, look, Median(t) * 1e6,
                        Percentile(t, 0.99) * 1e6, *std::max_element(t.begin(), t.end()) * 1e6, refMedian,
                        refP99);
            all.insert(all.end(), t.begin(), t.end());
        }
        Summary(std::string("Keystroke round trip, 4 boxes x 10,000 keys, ") + look + ", median µs",
                Median(all) * 1e6, refMedian, "notepad's edit box");
        Summary(std::string("Keystroke round trip, 4 boxes x 10,000 keys, ") + look + ", p99 µs",
                Percentile(all, 0.99) * 1e6, refP99, "notepad's edit box");
    }
    SaveSkin(false);
}

// ---- Skin switches, memory and handles --------------------------------------------------------

std::vector<HWND> WithChildren(const std::vector<HWND>& tops) {
    std::vector<HWND> all = tops;
    for (HWND top : tops) {
        EnumChildWindows(top, AddWindow, reinterpret_cast<LPARAM>(&all));
    }
    return all;
}

// Waits until no window of the set has anything left to paint; false after 10 s.
bool WaitRepainted(const std::vector<HWND>& tops, const std::vector<HWND>& all) {
    const double t0 = Seconds();
    while (Seconds() - t0 < 10) {
        for (HWND top : tops) {
            DWORD_PTR r = 0;
            SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &r);
        }
        bool pending = false;
        for (HWND h : all) {
            if (GetUpdateRect(h, nullptr, FALSE)) {
                pending = true;
                break;
            }
        }
        if (!pending) {
            return true;
        }
        Sleep(0);
    }
    return false;
}

HWND FindSettingsWindow(const Trigora& app, HWND description) {
    HWND found = nullptr;
    WaitUntil([&] {
        for (HWND h : TopLevelWindows(app.ProcessId())) {
            if (h != app.Main() && h != description && IsWindowVisible(h) &&
                ClassName(h) == L"TrigoraWindow" && ControlByOrder(h, kSkinListOrder) != nullptr) {
                found = h;
                return true;
            }
        }
        return false;
    });
    return found;
}

void Switch() {
    SaveSkin(false);
    Trigora app;
    if (!app.Started()) {
        std::printf("skin switch: Trigora did not start\n");
        return;
    }
    const Usage atStart = UsageOf(app);
    PostMessageW(ControlByOrder(app.Main(), kOpenDescription), BM_CLICK, 0, 0);
    HWND description = FindTopLevel(app.ProcessId(), L"程序说明");
    PostMessageW(app.Main(), WM_COMMAND, kOpenSkinSettings, 0);
    HWND settings = FindSettingsWindow(app, description);
    HWND list = settings != nullptr ? ControlByOrder(settings, kSkinListOrder) : nullptr;
    if (description == nullptr || list == nullptr) {
        std::printf("skin switch: the description or the skin settings window did not open\n");
        return;
    }
    const std::vector<HWND> tops = {app.Main(), description, settings};
    const std::vector<HWND> all = WithChildren(tops);
    WaitRepainted(tops, all);

    // Whether update regions can be seen from here: if not, the times below stop too early. The
    // program's thread is held meanwhile, so that it cannot paint before we look.
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(app.Main(), nullptr));
    bool visible = false;
    if (thread != nullptr && SuspendThread(thread) != static_cast<DWORD>(-1)) {
        InvalidateRect(app.Main(), nullptr, FALSE);
        visible = GetUpdateRect(app.Main(), nullptr, FALSE) != 0;
        ResumeThread(thread);
    }
    if (thread != nullptr) {
        CloseHandle(thread);
    }
    WaitRepainted(tops, all);
    if (!visible) {
        std::printf(
            "skin switch: another process's update region reads empty here; times are lower bounds\n");
    }

    constexpr int kRounds = 5;
    std::vector<std::vector<double>> bySkin(29);
    std::vector<double> repaint;
    std::vector<double> everySwitch;
    Usage afterFirstRound;
    int stuck = 0;
    std::vector<COLORREF> captionColours;
    const int listId = GetDlgCtrlID(list);
    for (int round = 0; round < kRounds; ++round) {
        for (int skin = 0; skin < 29; ++skin) {
            double t0 = Seconds();
            SendMessageW(list, CB_SETCURSEL, skin, 0);
            SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(listId, CBN_SELENDOK),
                         reinterpret_cast<LPARAM>(list));
            stuck += WaitRepainted(tops, all) ? 0 : 1;
            bySkin[skin].push_back(Seconds() - t0);
            everySwitch.push_back(Seconds() - t0);
            if (round == 0) { // what the caption shows, to see that the switches took
                RECT r{};
                GetWindowRect(app.Main(), &r);
                HDC screen = GetDC(nullptr);
                captionColours.push_back(GetPixel(screen, r.left + 60, r.top + 6));
                ReleaseDC(nullptr, screen);
            }

            // The reference: every window repainted whole under the skin now in force.
            t0 = Seconds();
            for (HWND top : tops) {
                RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
            }
            stuck += WaitRepainted(tops, all) ? 0 : 1;
            repaint.push_back(Seconds() - t0);
        }
        if (round == 0) {
            afterFirstRound = UsageOf(app);
        }
    }
    const Usage afterAllRounds = UsageOf(app);
    if (stuck > 0) {
        std::printf("skin switch: %d times a window still had something to paint after 10 s\n", stuck);
    }
    Summary("Skin switch, 3 windows open, 29 skins x 5, median ms", Median(everySwitch) * 1e3,
            Median(repaint) * 1e3, "full repaint");
    Summary("Skin switch, 3 windows open, 29 skins x 5, worst ms",
            *std::max_element(everySwitch.begin(), everySwitch.end()) * 1e3,
            *std::max_element(repaint.begin(), repaint.end()) * 1e3, "full repaint");
    std::sort(captionColours.begin(), captionColours.end());
    const long colours = std::unique(captionColours.begin(), captionColours.end()) - captionColours.begin();
    std::printf("\nCaption colours seen over the 29 skins: %ld different.\n", colours);
    if (colours < 10) {
        std::printf("skin switch: the caption hardly changed; the switches may not have taken\n");
    }
    std::printf("\n| skin switch, ms | median | worst |\n|---|---:|---:|\n");
    for (int skin = 0; skin < 29; ++skin) {
        std::printf("| %02d.she | %.1f | %.1f |\n", skin, Median(bySkin[skin]) * 1e3,
                    *std::max_element(bySkin[skin].begin(), bySkin[skin].end()) * 1e3);
    }

    HWND degrees = ControlByOrder(app.Main(), kBoxes[0].order);
    TypeInto(degrees, kBoxes[0].cycle, kKeystrokes);
    const Usage afterKeys = UsageOf(app);
    TypeInto(degrees, kBoxes[0].cycle, kKeystrokes);
    const Usage afterMoreKeys = UsageOf(app);

    std::printf("\n| memory and handles | working set KiB | private KiB%s | GDI objects%s | %s |\n"
                "|---|---:|---:|---:|---:|\n",
                g_underWine ? " (resident anonymous)" : "", g_underWine ? " (handle table)" : "",
                g_underWine ? "windows" : "USER objects");
    UsageRow("after start (MSN)", atStart);
    UsageRow("after 29 skin switches (3 windows open)", afterFirstRound);
    UsageRow("after 145 skin switches", afterAllRounds);
    UsageRow("then after 10,000 keystrokes", afterKeys);
    UsageRow("then after 20,000 keystrokes", afterMoreKeys);
    std::printf("\n");
    // A count that grows from the first round to the last is a leak.
    const auto growth = [](const std::string& what, long before, long after) {
        if (before < 0 || after < 0) {
            std::printf("S|%s: not counted here|n/a|-|-\n", what.c_str());
            return;
        }
        std::printf("S|%s|%ld -> %ld (%+ld)|no change (no leak)|-\n", what.c_str(), before, after,
                    after - before);
    };
    const std::string user = g_underWine ? "Windows" : "USER objects";
    growth("GDI objects, after 29 -> 145 skin switches", afterFirstRound.gdi, afterAllRounds.gdi);
    growth(user + ", after 29 -> 145 skin switches", afterFirstRound.user, afterAllRounds.user);
    growth("Private KiB, after 29 -> 145 skin switches", afterFirstRound.privateKiB,
           afterAllRounds.privateKiB);
    growth("GDI objects, after 10,000 -> 20,000 keystrokes", afterKeys.gdi, afterMoreKeys.gdi);
    growth("Private KiB, after 10,000 -> 20,000 keystrokes", afterKeys.privateKiB, afterMoreKeys.privateKiB);
    SaveSkin(false);
}

} // namespace

int main(int argc, char** argv) {
    g_gdiTable = g_underWine && GdiTableCountWorks();
    const auto wanted = [&](const char* part) {
        if (argc < 2) {
            return true;
        }
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], part) == 0) {
                return true;
            }
        }
        return false;
    };
    if (wanted("startup")) {
        Startup();
    }
    if (wanted("keys")) {
        Keys();
    }
    if (wanted("switch")) {
        Switch();
    }
    return 0;
}
