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

long long Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double TicksPerSecond() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
}

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

// One start: the counter's ticks just before CreateProcess and when the main window was seen
// visible with the program idle (a sent message answered); end stays 0 when it did not get there.
struct Start {
    long long begin = 0;
    long long end = 0;
    double Seconds() const { return end == 0 ? -1 : static_cast<double>(end - begin) / TicksPerSecond(); }
};

// Starts a program and waits for its main window; the process is ended afterwards unless `keep`
// takes it. `beforeEnd` runs while it still lives (to collect what it writes once idle).
template <typename BeforeEnd>
Start StartOnce(const std::wstring& exe, const wchar_t* cls, const wchar_t* caption, HWND* mainOut,
                PROCESS_INFORMATION* keep, BeforeEnd beforeEnd) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    Start start;
    start.begin = Ticks();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        return start;
    }
    Found f{pi.dwProcessId, cls, caption, nullptr};
    const long long giveUp = start.begin + static_cast<long long>(30 * TicksPerSecond());
    while (Ticks() < giveUp) {
        EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&f));
        if (f.hwnd != nullptr) {
            DWORD_PTR r = 0;
            SendMessageTimeoutW(f.hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r);
            start.end = Ticks();
            break;
        }
        Sleep(1);
    }
    if (keep != nullptr) {
        *keep = pi;
        if (mainOut != nullptr) {
            *mainOut = f.hwnd;
        }
        return start;
    }
    beforeEnd();
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    Sleep(200); // let the tray and the desktop forget the window
    return start;
}

double StartOnce(const std::wstring& exe, const wchar_t* cls, const wchar_t* caption, HWND* mainOut = nullptr,
                 PROCESS_INFORMATION* keep = nullptr) {
    return StartOnce(exe, cls, caption, mainOut, keep, [] {}).Seconds();
}

// What Trigora's start-up trace holds: its steps in the order they ended, and the recurring parts.
struct Trace {
    std::vector<std::pair<std::string, long long>> marks; // name, ticks
    std::vector<std::pair<std::string, long long>> parts; // name, ticks summed
    std::vector<std::pair<std::string, int>> calls;
};

std::wstring TracePath() {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"trigora-startup.txt";
}

// Waits for the trace the program writes a moment after its first idle; empty after 5 s.
Trace ReadTrace(const std::wstring& path) {
    Trace t;
    const DWORD start = GetTickCount();
    while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > 5000) {
            return t;
        }
        Sleep(10);
    }
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (f == nullptr) {
        return t;
    }
    char line[256];
    while (std::fgets(line, sizeof line, f) != nullptr) {
        std::string l(line);
        while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) {
            l.pop_back();
        }
        std::vector<std::string> fields;
        for (size_t at = 0;;) {
            size_t tab = l.find('\t', at);
            fields.push_back(l.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos) {
                break;
            }
            at = tab + 1;
        }
        if (fields[0] == "mark" && fields.size() == 3) {
            t.marks.emplace_back(fields[1], std::atoll(fields[2].c_str()));
        } else if (fields[0] == "part" && fields.size() == 4) {
            t.parts.emplace_back(fields[1], std::atoll(fields[2].c_str()));
            t.calls.emplace_back(fields[1], std::atoi(fields[3].c_str()));
        }
    }
    std::fclose(f);
    // The engine's stamps come after the program's in the file; in time they lie among them.
    std::stable_sort(t.marks.begin(), t.marks.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    // A step that comes again (the engine redraws once for the skin and once for its colours) is
    // told apart by its rank.
    std::vector<std::string> seen;
    for (auto& [name, ticks] : t.marks) {
        int n = static_cast<int>(std::count(seen.begin(), seen.end(), name));
        seen.push_back(name);
        if (n > 0) {
            name += " (" + std::to_string(n + 1) + ")";
        }
    }
    return t;
}

// The steps of every start of one kind: each step's time since the step before it, in ms.
struct Breakdown {
    std::vector<std::string> order;                   // step names in the order they happen
    std::vector<std::vector<double>> steps;           // per step, one duration per start
    std::vector<std::string> partOrder;
    std::vector<std::vector<double>> parts;           // per part, its sum per start
    std::vector<std::vector<double>> partCalls;
    std::vector<double> toAnswer;                     // last stamp to the answer the bench saw
    int traced = 0;

    static size_t Slot(std::vector<std::string>& names, std::vector<std::vector<double>>& values,
                       const std::string& name, size_t after) {
        auto it = std::find(names.begin(), names.end(), name);
        if (it != names.end()) {
            return static_cast<size_t>(it - names.begin());
        }
        size_t at = std::min(after, names.size());
        names.insert(names.begin() + static_cast<std::ptrdiff_t>(at), name);
        values.insert(values.begin() + static_cast<std::ptrdiff_t>(at), std::vector<double>());
        return at;
    }

    void Add(const Start& start, const Trace& t) {
        if (t.marks.empty() || start.end == 0) {
            return;
        }
        ++traced;
        const double ms = 1e3 / TicksPerSecond();
        long long before = start.begin;
        size_t after = 0;
        for (const auto& [name, ticks] : t.marks) {
            size_t i = Slot(order, steps, name, after);
            steps[i].push_back(static_cast<double>(ticks - before) * ms);
            before = ticks;
            after = i + 1;
        }
        toAnswer.push_back(static_cast<double>(start.end - before) * ms);
        for (size_t p = 0; p < t.parts.size(); ++p) {
            auto it = std::find(partOrder.begin(), partOrder.end(), t.parts[p].first);
            size_t i = static_cast<size_t>(it - partOrder.begin());
            if (it == partOrder.end()) {
                partOrder.push_back(t.parts[p].first);
                parts.emplace_back();
                partCalls.emplace_back();
            }
            parts[i].push_back(static_cast<double>(t.parts[p].second) * ms);
            partCalls[i].push_back(t.calls[p].second);
        }
    }
};

std::string Cell(const std::vector<std::string>& names, const std::vector<std::vector<double>>& values,
                 const std::string& name, const char* format = "%.2f") {
    auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end() || values[static_cast<size_t>(it - names.begin())].empty()) {
        return "-";
    }
    char b[32];
    std::snprintf(b, sizeof b, format, Median(values[static_cast<size_t>(it - names.begin())]));
    return b;
}

void PrintBreakdown(const std::vector<std::pair<const char*, const Breakdown*>>& kinds, double notepadMs) {
    // Every step of every kind, in the order they happen.
    std::vector<std::string> order;
    for (const auto& [label, b] : kinds) {
        size_t after = 0;
        for (const std::string& name : b->order) {
            auto it = std::find(order.begin(), order.end(), name);
            if (it == order.end()) {
                order.insert(order.begin() + static_cast<std::ptrdiff_t>(std::min(after, order.size())), name);
                after = std::min(after, order.size() - 1) + 1;
            } else {
                after = static_cast<size_t>(it - order.begin()) + 1;
            }
        }
    }
    std::printf("\n| start-up step (each from the end of the one above), median of the starts, ms |");
    for (const auto& [label, b] : kinds) {
        std::printf(" %s |", label);
    }
    std::printf("\n|---|");
    for (size_t i = 0; i < kinds.size(); ++i) {
        std::printf("---:|");
    }
    std::printf("\n| bench: CreateProcess called | 0 |");
    for (size_t i = 1; i < kinds.size(); ++i) {
        std::printf(" 0 |");
    }
    std::printf("\n");
    for (const std::string& name : order) {
        std::printf("| %s |", name.c_str());
        for (const auto& [label, b] : kinds) {
            std::printf(" %s |", Cell(b->order, b->steps, name).c_str());
        }
        std::printf("\n");
    }
    std::printf("| bench: window seen visible, a sent message answered |");
    for (const auto& [label, b] : kinds) {
        std::printf(" %.2f |", Median(b->toAnswer));
    }
    std::printf("\n| sum of the medians above |");
    for (const auto& [label, b] : kinds) {
        double sum = Median(b->toAnswer);
        for (const auto& v : b->steps) {
            sum += v.empty() ? 0 : Median(v);
        }
        std::printf(" %.1f |", sum);
    }
    std::printf("\n| notepad.exe, the whole start (same run) |");
    for (size_t i = 0; i < kinds.size(); ++i) {
        std::printf(" %.1f |", notepadMs);
    }
    std::printf("\n| starts traced |");
    for (const auto& [label, b] : kinds) {
        std::printf(" %d |", b->traced);
    }
    std::printf("\n\n| recurring part of start-up, summed over its calls, median ms (calls) |");
    for (const auto& [label, b] : kinds) {
        std::printf(" %s |", label);
    }
    std::printf("\n|---|");
    for (size_t i = 0; i < kinds.size(); ++i) {
        std::printf("---:|");
    }
    std::printf("\n");
    std::vector<std::string> parts;
    for (const auto& [label, b] : kinds) {
        for (const std::string& name : b->partOrder) {
            if (std::find(parts.begin(), parts.end(), name) == parts.end()) {
                parts.push_back(name);
            }
        }
    }
    std::sort(parts.begin(), parts.end());
    for (const std::string& name : parts) {
        std::printf("| %s |", name.c_str());
        for (const auto& [label, b] : kinds) {
            std::printf(" %s (%s) |", Cell(b->partOrder, b->parts, name).c_str(),
                        Cell(b->partOrder, b->partCalls, name, "%.0f").c_str());
        }
        std::printf("\n");
    }
    std::printf("\n");
}

void Startup() {
    const std::wstring notepad = L"C:\\windows\\system32\\notepad.exe";
    const std::wstring trigora = TrigoraExe();
    // Trigora keeps stamps of its start-up in memory and writes them here a moment after its first
    // idle, only because this variable asks for them; notepad ignores it.
    const std::wstring tracePath = TracePath();
    SetEnvironmentVariableW(L"TRIGORA_STARTUP_TRACE", tracePath.c_str());
    Trace trace;
    const auto traced = [&] { trace = ReadTrace(tracePath); };
    const auto startTraced = [&](Breakdown* into) {
        DeleteFileW(tracePath.c_str());
        Start s = StartOnce(trigora, L"TrigoraWindow", L"Trigora1.0", nullptr, nullptr, traced);
        into->Add(s, trace);
        return s.Seconds();
    };
    // One start each to write the engine's files and fill the file cache; not counted.
    Breakdown warmUp;
    SaveSkin(false);
    StartOnce(notepad, L"Notepad", nullptr);
    startTraced(&warmUp);
    std::vector<double> np, noSkin, silver, byDefault;
    Breakdown noSkinSteps, byDefaultSteps, silverSteps;
    for (int i = 0; i < 15; ++i) {
        np.push_back(StartOnce(notepad, L"Notepad", nullptr));
        SaveSkin(true, kNoSkin);
        noSkin.push_back(startTraced(&noSkinSteps));
        SaveSkin(false);
        byDefault.push_back(startTraced(&byDefaultSteps));
        SaveSkin(true, kSilverWhite);
        silver.push_back(startTraced(&silverSteps));
    }
    SetEnvironmentVariableW(L"TRIGORA_STARTUP_TRACE", nullptr);
    DeleteFileW(tracePath.c_str());
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
    PrintBreakdown({{"no skin", &noSkinSteps}, {"MSN", &byDefaultSteps}, {"银白", &silverSteps}}, ref);
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

// /proc/N/status of the Unix process that runs the program in this prefix; empty when not found.
std::string UnixStatusOf(const char* program) {
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
        if (cmdline.find(program) == std::string::npos) {
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

Usage MemoryOf(HANDLE process, const char* program) {
    Usage u;
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
        u.workingSetKiB = static_cast<long>(pmc.WorkingSetSize >> 10);
        u.privateKiB = pmc.PrivateUsage != 0 ? static_cast<long>(pmc.PrivateUsage >> 10) : -1;
    }
    if (g_underWine) {
        u.privateKiB = StatusKiB(UnixStatusOf(program), "RssAnon");
    }
    return u;
}

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
    u.privateKiB = StatusKiB(UnixStatusOf("Trigora.exe"), "RssAnon");
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

constexpr int kManySwitches = 1000;

// A skin picked as a user picks it: the list dropped, an item chosen in it, the list closed. Only
// such a confirmed pick puts a skin in force.
void Pick(HWND list, int listId, int skin) {
    HWND parent = GetParent(list);
    const auto notify = [&](int code) {
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(listId, code), reinterpret_cast<LPARAM>(list));
    };
    notify(CBN_DROPDOWN);
    SendMessageW(list, CB_SETCURSEL, skin, 0);
    notify(CBN_SELENDOK);
    notify(CBN_CLOSEUP);
}

void Switch() {
    // The reference for memory: notepad just started, in the same run.
    Usage notepad;
    {
        PROCESS_INFORMATION np{};
        HWND npMain = nullptr;
        if (StartOnce(L"C:\\windows\\system32\\notepad.exe", L"Notepad", nullptr, &npMain, &np) >= 0) {
            notepad = MemoryOf(np.hProcess, "notepad.exe");
        }
        TerminateProcess(np.hProcess, 0);
        WaitForSingleObject(np.hProcess, 10000);
        CloseHandle(np.hProcess);
        CloseHandle(np.hThread);
    }
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
            Pick(list, listId, skin);
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
    // On to a thousand switches, each waited for until every window has repainted.
    for (int n = kRounds * 29; n < kManySwitches; ++n) {
        Pick(list, listId, n % 29);
        stuck += WaitRepainted(tops, all) ? 0 : 1;
    }
    const Usage afterMany = UsageOf(app);
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
    UsageRow("after 1,000 skin switches", afterMany);
    UsageRow("then after 10,000 keystrokes", afterKeys);
    UsageRow("then after 20,000 keystrokes", afterMoreKeys);
    UsageRow("notepad.exe after start (reference)", notepad);
    std::printf("\n");
    const auto memory = [&](const char* what, long ours, long reference) {
        if (ours < 0 || reference <= 0) {
            std::printf("S|%s: not measured here|n/a|-|-\n", what);
            return;
        }
        std::printf("S|%s|%ld|%ld (notepad after start)|%.2f\n", what, ours, reference,
                    static_cast<double>(ours) / static_cast<double>(reference));
    };
    memory("Working set KiB, after start (MSN)", atStart.workingSetKiB, notepad.workingSetKiB);
    memory("Working set KiB, after 1,000 skin switches (3 windows open)", afterMany.workingSetKiB,
           notepad.workingSetKiB);
    memory(g_underWine ? "Private KiB (resident anonymous), after start (MSN)" : "Private KiB, after start (MSN)",
           atStart.privateKiB, notepad.privateKiB);
    memory(g_underWine ? "Private KiB (resident anonymous), after 1,000 skin switches"
                       : "Private KiB, after 1,000 skin switches",
           afterMany.privateKiB, notepad.privateKiB);
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
