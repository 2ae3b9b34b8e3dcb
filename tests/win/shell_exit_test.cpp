// How the shell ends a process: the quit rule, EndProgram and FatalError, each in a child process
// (this same executable started with a role), watched from outside.
#include "shell/app.h"

#include <gtest/gtest.h>

#include <float.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

using namespace trigora;

namespace {

std::wstring MarkerFile() {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"trigora-exit-routine.txt";
}

// The exit routine leaves one line per run, so a test can count how often it ran.
void MarkExitRoutine() {
    FILE* f = _wfopen(MarkerFile().c_str(), L"a");
    if (f != nullptr) {
        std::fputs("ran\n", f);
        std::fclose(f);
    }
}

void CloseAtOnce(Window& w) {
    PostMessageW(w.Handle(), WM_CLOSE, 0, 0);
}

const WindowTable kClosingWindow{{.caption = "closing", .outer = {0, 0, 200, 100},
                                  .events = {.created = CloseAtOnce}},
                                 {},
                                 {}};
const WindowTable kStayingWindow{{.caption = "staying", .outer = {0, 0, 200, 100}}, {}, {}};

void InitEndsProgram() { EndProgram(7); }

// Operations that run out of memory, each reached by another entry from Windows.
[[noreturn]] void RunOutOfMemory() { throw std::bad_alloc(); }
void InitRunsOut() { RunOutOfMemory(); }
void RunOutOfMemoryIn(Window&) { RunOutOfMemory(); }
bool CloseRequestRunsOut(Window&) { RunOutOfMemory(); }
void SetTheBoxThatRunsOut(Window& w) { w.SetText("box", "1"); }

// The created operation runs inside LoadWindow at start-up; a close request comes through the
// event loop into the window procedure; an edit box's change arrives from the control, nested in
// an operation.
const WindowTable kCreatedRunsOut{{.caption = "created", .outer = {0, 0, 200, 100},
                                   .events = {.created = RunOutOfMemoryIn}},
                                  {},
                                  {}};
const WindowTable kCloseRunsOut{{.caption = "close", .outer = {0, 0, 200, 100},
                                 .events = {.created = CloseAtOnce, .closeRequested = CloseRequestRunsOut}},
                                {},
                                {}};
const ControlEntry kBoxThatRunsOut[] = {[] {
    ControlEntry e{.name = "box", .kind = ControlKind::Edit, .rect = {10, 10, 80, 20}};
    e.events.contentChanged = RunOutOfMemoryIn;
    return e;
}()};
const WindowTable kChangeRunsOut{{.caption = "change", .outer = {0, 0, 200, 100},
                                  .events = {.created = SetTheBoxThatRunsOut}},
                                 kBoxThatRunsOut,
                                 {}};
// The shell takes GBK texts; this file's narrow literals are UTF-8, so the bytes are spelled out.
void InitFails() { FatalError("\xb2\xe2\xca\xd4\xd3\xc3\xb5\xc4\xca\xa7\xb0\xdc"); } // 测试用的失败

// After start-up's reset: extended precision, round to nearest, every exception masked, so a
// division by zero gives an infinity instead of a trap. Reports through the exit code.
volatile double zero = 0.0;
void InitReportsFloatingPoint() {
    unsigned int word = _controlfp(0, 0);
    bool reset = (word & _MCW_EM) == _MCW_EM && (word & _MCW_RC) == _RC_NEAR && (word & _MCW_PC) == _PC_64;
    unsigned int mxcsr = 0;
    asm volatile("stmxcsr %0" : "=m"(mxcsr));
    bool sseMasked = (mxcsr & 0x1F80) == 0x1F80 && (mxcsr & 0x6000) == 0;
    double infinite = 1.0 / zero;
    EndProgram(reset && sseMasked && infinite > 1e308 ? 42 : 43);
}

int RunChild(const std::string& role) {
    static const WindowTable* const closingTables[] = {&kClosingWindow};
    static const WindowTable* const stayingTables[] = {&kStayingWindow};
    Program p;
    p.exitRoutine = MarkExitRoutine;
    if (role == "quit") {
        p.mainWindow = &kClosingWindow;
        p.tables = closingTables;
    } else if (role == "end") {
        p.mainWindow = &kStayingWindow;
        p.tables = stayingTables;
        p.secondInit = InitEndsProgram;
    } else if (role == "fpu") {
        p.mainWindow = &kStayingWindow;
        p.tables = stayingTables;
        p.firstInit = InitReportsFloatingPoint;
    } else if (role == "fatal") {
        p.mainWindow = &kStayingWindow;
        p.tables = stayingTables;
        p.firstInit = InitFails;
    } else if (role == "init-runs-out") {
        p.mainWindow = &kStayingWindow;
        p.tables = stayingTables;
        p.firstInit = InitRunsOut;
    } else if (role == "created-runs-out" || role == "close-runs-out" || role == "change-runs-out") {
        static const WindowTable* table = nullptr;
        table = role == "created-runs-out" ? &kCreatedRunsOut : role == "close-runs-out" ? &kCloseRunsOut : &kChangeRunsOut;
        p.mainWindow = table;
        p.tables = {&table, 1};
    } else {
        return 99;
    }
    return RunProgram(p);
}

struct Child {
    PROCESS_INFORMATION pi{};
    explicit Child(const wchar_t* role) {
        DeleteFileW(MarkerFile().c_str());
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(self) + L"\" --child " + role;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    }
    ~Child() {
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi.hProcess, 99);
        }
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    DWORD ExitCode(DWORD waitMs = 15000) {
        if (WaitForSingleObject(pi.hProcess, waitMs) != WAIT_OBJECT_0) {
            return STILL_ACTIVE;
        }
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
};

int ExitRoutineRuns() {
    std::string all;
    if (FILE* f = _wfopen(MarkerFile().c_str(), L"r")) {
        char buffer[256];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) {
            all.append(buffer, n);
        }
        std::fclose(f);
    }
    int n = 0;
    for (size_t at = all.find("ran"); at != std::string::npos; at = all.find("ran", at + 1)) {
        ++n;
    }
    return n;
}

struct FindBox {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindBoxProc(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<FindBox*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (pid == f->pid && lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct BoxContent {
    std::wstring texts;
    bool hasIcon = false;
};

BOOL CALLBACK ReadBoxProc(HWND hwnd, LPARAM lp) {
    auto* c = reinterpret_cast<BoxContent*>(lp);
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    c->texts += text;
    c->texts += L"\n";
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (lstrcmpiW(cls, L"Static") == 0 && (GetWindowLongW(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        c->hasIcon = true;
    }
    return TRUE;
}

TEST(ShellExit, TheLastWindowClosingEndsWithCodeZeroAfterTheExitRoutineRanOnce) {
    Child child(L"quit");
    EXPECT_EQ(child.ExitCode(), 0u);
    EXPECT_EQ(ExitRoutineRuns(), 1);
}

TEST(ShellExit, EndProgramEndsWithItsCodeAfterTheExitRoutineRanOnce) {
    Child child(L"end");
    EXPECT_EQ(child.ExitCode(), 7u);
    EXPECT_EQ(ExitRoutineRuns(), 1);
}

TEST(ShellStart, TheFloatingPointUnitIsResetBeforeTheInitialisationRoutines) {
    Child child(L"fpu");
    EXPECT_EQ(child.ExitCode(), 42u);
}

// Waits for the child's error box, checks that it names `failure`, closes it and expects -1
// without the exit routine.
void ExpectFatalEnd(Child& child, const std::wstring& failure) {
    FindBox box{child.pi.dwProcessId, nullptr};
    for (int i = 0; i < 300 && box.found == nullptr; ++i) {
        EnumWindows(FindBoxProc, reinterpret_cast<LPARAM>(&box));
        Sleep(50);
    }
    ASSERT_NE(box.found, nullptr) << "no error box";
    BoxContent content;
    EnumChildWindows(box.found, ReadBoxProc, reinterpret_cast<LPARAM>(&content));
    EXPECT_NE(content.texts.find(failure), std::wstring::npos) << "the box names the failure";
    EXPECT_NE(content.texts.find(L"错误"), std::wstring::npos) << "the box says an error occurred";
    EXPECT_TRUE(content.hasIcon);
    EXPECT_EQ(child.ExitCode(300), static_cast<DWORD>(STILL_ACTIVE)) << "the process waits for the box";
    PostMessageW(box.found, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(child.ExitCode(), static_cast<DWORD>(-1));
    EXPECT_EQ(ExitRoutineRuns(), 0);
}

TEST(ShellExit, FatalErrorShowsAnErrorBoxNamingTheFailureThenEndsWithMinusOneWithoutTheRoutine) {
    Child child(L"fatal");
    ExpectFatalEnd(child, L"测试用的失败");
}

TEST(ShellExit, MemoryRunningOutAnywhereEndsThroughFatalError) {
    for (const wchar_t* role : {L"init-runs-out", L"created-runs-out", L"close-runs-out", L"change-runs-out"}) {
        SCOPED_TRACE(role);
        Child child(role);
        ExpectFatalEnd(child, L"内存不足");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0) {
        return RunChild(argv[2]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
