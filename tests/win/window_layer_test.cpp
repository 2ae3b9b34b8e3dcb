// The window layer in-process under Wine: loading order, nesting, instances, modal mode, closing, quitting.
#include "shell/app.h"
#include "shell/window.h"
#include "shell/window_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace trigora;

namespace {

std::vector<std::string> events;

void Log(const std::string& what, Window& w) {
    events.push_back(what + (IsWindowVisible(w.Handle()) ? "(visible)" : "(hidden)"));
}

void LogCreated(Window& w) { Log("created", w); }
void LogMoved(Window& w) { Log("position", w); }
void LogSized(Window& w) { Log("size", w); }
void LogShown(Window& w) { Log("shown", w); }
void LogEditChanged(Window& w) { Log("edit", w); }
void DestroyAtOnce(Window& w) {
    Log("created", w);
    DestroyWindow(w.Handle());
}

constexpr Rect kSmall{10, 10, 200, 150};

constexpr ControlEntry kEditOnly[] = {
    [] {
        ControlEntry e{.name = "编辑框1", .kind = ControlKind::Edit, .rect = {5, 5, 80, 20}, .focusable = true};
        e.edit.content = "initial";
        e.events.contentChanged = LogEditChanged;
        return e;
    }(),
};

const WindowTable kOrdered{
    {.caption = "ordered", .outer = kSmall,
     .events = {.created = LogCreated, .positionChanged = LogMoved, .sizeChanged = LogSized, .shown = LogShown}},
    kEditOnly,
    {}};

const WindowTable kSelfDestroying{
    {.caption = "gone", .outer = kSmall,
     .events = {.created = DestroyAtOnce, .positionChanged = LogMoved, .sizeChanged = LogSized, .shown = LogShown}},
    {},
    {}};

TEST(LoadingRule, CreatedThenPositionThenSizeAllBeforeShowingAndNothingWhileBuilding) {
    events.clear();
    ASSERT_TRUE(LoadWindow(kOrdered));
    Window* w = OpenInstance(kOrdered);
    ASSERT_NE(w, nullptr);
    std::vector<std::string> before{events.begin(), events.end()};
    EXPECT_EQ(before, (std::vector<std::string>{"created(hidden)", "position(hidden)", "size(hidden)",
                                                "shown(hidden)"}))
        << "the initial content of an edit box must not deliver content changed";
    EXPECT_TRUE(IsWindowVisible(w->Handle()));
    EXPECT_EQ(w->Text("编辑框1"), "initial");
    DestroyWindow(w->Handle());
    EXPECT_EQ(OpenInstance(kOrdered), nullptr) << "a destroyed instance is forgotten";
}

TEST(LoadingRule, AWindowDestroyedByItsCreatedOperationIsNeverShown) {
    events.clear();
    EXPECT_TRUE(LoadWindow(kSelfDestroying)) << "it was built, even though its own event destroyed it";
    EXPECT_EQ(events, (std::vector<std::string>{"created(hidden)"}));
    EXPECT_EQ(OpenInstance(kSelfDestroying), nullptr);
}

// ---- Stacking ----

// Earlier in the table lies on top among the controls of one container, whether the table names
// a group box before what it holds (all created in table order) or after it (its controls can
// only be made once it exists).
constexpr ControlEntry kBoxFirst[] = {
    {.name = "分组框1", .kind = ControlKind::GroupBox, .rect = {5, 5, 150, 80}},
    {.name = "标签1", .kind = ControlKind::Label, .container = "分组框1", .rect = {5, 15, 60, 20}},
    {.name = "编辑框1", .kind = ControlKind::Edit, .container = "分组框1", .rect = {5, 40, 60, 20}},
    {.name = "按钮1", .kind = ControlKind::PushButton, .rect = {5, 90, 60, 20}},
};
constexpr ControlEntry kBoxLast[] = {
    {.name = "标签1", .kind = ControlKind::Label, .container = "分组框1", .rect = {5, 15, 60, 20}},
    {.name = "按钮1", .kind = ControlKind::PushButton, .rect = {5, 90, 60, 20}},
    {.name = "分组框1", .kind = ControlKind::GroupBox, .rect = {5, 5, 150, 80}},
    {.name = "编辑框1", .kind = ControlKind::Edit, .container = "分组框1", .rect = {5, 40, 60, 20}},
};
const WindowTable kStackedBoxFirst{{.caption = "box first", .outer = kSmall}, kBoxFirst, {}};
const WindowTable kStackedBoxLast{{.caption = "box last", .outer = kSmall}, kBoxLast, {}};

std::vector<HWND> ChildrenTopDown(HWND parent) {
    std::vector<HWND> out;
    for (HWND h = GetWindow(parent, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
        out.push_back(h);
    }
    return out;
}

TEST(Stacking, TheControlsOfEachContainerLieInTableOrderFromTheTopDown) {
    for (const WindowTable* table : {&kStackedBoxFirst, &kStackedBoxLast}) {
        ASSERT_TRUE(LoadWindow(*table));
        Window* w = OpenInstance(*table);
        ASSERT_NE(w, nullptr);
        std::vector<HWND> inWindow, inBox;
        for (const ControlEntry& e : table->controls) {
            (e.container == nullptr ? inWindow : inBox).push_back(w->ControlHandle(e.name));
        }
        EXPECT_EQ(ChildrenTopDown(w->Handle()), inWindow) << table->window.caption;
        EXPECT_EQ(ChildrenTopDown(w->ControlHandle("分组框1")), inBox) << table->window.caption;
        DestroyWindow(w->Handle());
    }
}

// ---- Nested content changed ----

void OnFirstChanged(Window& w) {
    events.push_back("first begins");
    w.SetText("编辑框2", "set by the first");
    events.push_back("first ends, second holds " + w.Text("编辑框2"));
}
void OnSecondChanged(Window&) { events.push_back("second runs"); }

constexpr ControlEntry kTwoEdits[] = {
    [] {
        ControlEntry e{.name = "编辑框1", .kind = ControlKind::Edit, .rect = {5, 5, 80, 20}};
        e.events.contentChanged = OnFirstChanged;
        return e;
    }(),
    [] {
        ControlEntry e{.name = "编辑框2", .kind = ControlKind::Edit, .rect = {5, 30, 80, 20}};
        e.events.contentChanged = OnSecondChanged;
        return e;
    }(),
};
const WindowTable kNested{{.caption = "nested", .outer = kSmall}, kTwoEdits, {}};

TEST(Events, SettingAnEditBoxRunsItsOperationBeforeTheSetterGoesOn) {
    ASSERT_TRUE(LoadWindow(kNested));
    Window* w = OpenInstance(kNested);
    events.clear();
    w->SetText("编辑框1", "typed");
    EXPECT_EQ(events, (std::vector<std::string>{"first begins", "second runs",
                                                "first ends, second holds set by the first"}));
    DestroyWindow(w->Handle());
}

// ---- Mouse operations that swallow the message ----

bool letPressThrough = false;
bool OnPress(Window&, const MouseArgs&) { return letPressThrough; }

constexpr ControlEntry kPressable[] = {
    [] {
        ControlEntry e{.name = "编辑框1", .kind = ControlKind::Edit, .rect = {5, 5, 80, 20}, .focusable = true};
        e.events.leftButtonPressed = OnPress;
        return e;
    }(),
    ControlEntry{.name = "编辑框2", .kind = ControlKind::Edit, .rect = {5, 30, 80, 20}, .focusable = true},
};
const WindowTable kMouse{{.caption = "mouse", .outer = kSmall}, kPressable, {}};

TEST(Events, AMouseOperationAnsweringNoSwallowsTheMessage) {
    ASSERT_TRUE(LoadWindow(kMouse));
    Window* w = OpenInstance(kMouse);
    HWND pressed = w->ControlHandle("编辑框1");
    HWND other = w->ControlHandle("编辑框2");
    SetFocus(other);
    letPressThrough = false;
    SendMessageW(pressed, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(pressed, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(GetFocus(), other) << "a swallowed press never reaches the edit box";
    letPressThrough = true;
    SendMessageW(pressed, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(pressed, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(GetFocus(), pressed);
    DestroyWindow(w->Handle());
}

// ---- One instance per window ----

int createdCount = 0;
void CountCreated(Window&) { ++createdCount; }
const WindowTable kCounted{{.caption = "counted", .outer = kSmall, .minimiseBox = true,
                            .events = {.created = CountCreated}},
                           {},
                           {}};

TEST(Instances, LoadingAnOpenMinimisedWindowRestoresItAndBuildsNoOther) {
    createdCount = 0;
    ASSERT_TRUE(LoadWindow(kCounted));
    Window* w = OpenInstance(kCounted);
    ShowWindow(w->Handle(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(w->Handle()));
    EXPECT_TRUE(LoadWindow(kCounted));
    EXPECT_FALSE(IsIconic(w->Handle()));
    EXPECT_EQ(OpenInstance(kCounted), w);
    EXPECT_EQ(createdCount, 1);
    DestroyWindow(w->Handle());
}

TEST(Instances, AnOwnerThatNoLongerExistsRefusesTheLoad) {
    ASSERT_TRUE(LoadWindow(kCounted));
    Window* owner = OpenInstance(kCounted);
    DestroyWindow(owner->Handle());
    createdCount = 0;
    EXPECT_FALSE(LoadWindow(kNested, owner, false));
    EXPECT_EQ(OpenInstance(kNested), nullptr);
}

TEST(Instances, AWindowWithoutTaskbarButtonIsOwnedByTheHiddenApplicationWindow) {
    const WindowTable noButton{{.caption = "no button", .outer = kSmall, .taskbarButton = false}, {}, {}};
    ASSERT_TRUE(LoadWindow(noButton));
    Window* w = OpenInstance(noButton);
    EXPECT_EQ(GetWindow(w->Handle(), GW_OWNER), ApplicationWindow());
    EXPECT_FALSE(GetWindowLongW(w->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    DestroyWindow(w->Handle());
}

// ---- Modal mode ----

const WindowTable kPlainA{{.caption = "a", .outer = kSmall}, {}, {}};
const WindowTable kPlainB{{.caption = "b", .outer = kSmall}, {}, {}};
const WindowTable kModal{{.caption = "modal", .outer = kSmall}, {}, {}};

TEST(Modal, OtherWindowsAreDisabledWhileItIsOpenAndGetTheirStateBack) {
    ASSERT_TRUE(LoadWindow(kPlainA));
    ASSERT_TRUE(LoadWindow(kPlainB));
    HWND a = OpenInstance(kPlainA)->Handle();
    HWND b = OpenInstance(kPlainB)->Handle();
    EnableWindow(b, FALSE); // disabled before: stays disabled after
    ASSERT_TRUE(LoadWindow(kModal, OpenInstance(kPlainA), true));
    HWND m = OpenInstance(kModal)->Handle();
    EXPECT_EQ(GetWindow(m, GW_OWNER), ApplicationWindow()) << "a modal window ignores the owner given";
    EXPECT_FALSE(IsWindowEnabled(a));
    EXPECT_FALSE(IsWindowEnabled(b));
    DestroyWindow(m);
    EXPECT_TRUE(IsWindowEnabled(a));
    EXPECT_FALSE(IsWindowEnabled(b));
    DestroyWindow(a);
    DestroyWindow(b);
}

// ---- Closing ----

bool allowClose = false;
bool OnCloseRequested(Window&) {
    events.push_back("close requested");
    return allowClose;
}
void OnAboutToBeDestroyed(Window&) { events.push_back("about to be destroyed"); }
const WindowTable kClosable{{.caption = "closable", .outer = kSmall,
                             .events = {.closeRequested = OnCloseRequested,
                                        .aboutToBeDestroyed = OnAboutToBeDestroyed}},
                            {},
                            {}};

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

TEST(Closing, CloseRequestedMayRefuseThenAboutToBeDestroyedRunsBeforeTheWindowGoes) {
    ASSERT_TRUE(LoadWindow(kClosable));
    HWND h = OpenInstance(kClosable)->Handle();
    events.clear();
    allowClose = false;
    SendMessageW(h, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(h));
    allowClose = true;
    SendMessageW(h, WM_CLOSE, 0, 0);
    Pump();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(events, (std::vector<std::string>{"close requested", "close requested", "about to be destroyed"}));
    EXPECT_EQ(OpenInstance(kClosable), nullptr);
}

// Last: once the loop has run, the quit rule stays armed for the rest of the process.
TEST(QuitRule, TheLoopEndsWhenTheLastWindowOfTheProgramIsDestroyed) {
    ASSERT_TRUE(LoadWindow(kPlainA));
    ASSERT_TRUE(LoadWindow(kPlainB));
    PostMessageW(OpenInstance(kPlainA)->Handle(), WM_CLOSE, 0, 0);
    PostMessageW(OpenInstance(kPlainB)->Handle(), WM_CLOSE, 0, 0);
    RunEventLoop(); // returns only through the quit rule
    EXPECT_EQ(OpenInstance(kPlainA), nullptr);
    EXPECT_EQ(OpenInstance(kPlainB), nullptr);
}

} // namespace

int main(int argc, char** argv) {
    InitialiseShell(); // what start-up does before any window is loaded

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
