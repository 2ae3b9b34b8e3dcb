// The tray icon record in-process under Wine: add, replace and remove, and the icon made of the stored file.
#include "shell/app.h"
#include "shell/tray.h"
#include "shell/window.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <fstream>
#include <iterator>
#include <vector>

using namespace trigora;

namespace {

std::vector<unsigned char> StoredIconFile() {
    std::ifstream in(TRIGORA_ICON_FILE, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Registered(HWND owner) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = owner;
    data.uID = kTrayIconId;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != 0;
}

const WindowTable kOwner{{.caption = "owner", .outer = {0, 0, 200, 100}, .visible = false}, {}, {}};

class TrayIconTest : public ::testing::Test {
  protected:
    Window* w = nullptr;
    void SetUp() override {
        ASSERT_TRUE(LoadWindow(kOwner));
        w = OpenInstance(kOwner);
    }
    void TearDown() override {
        if (OpenInstance(kOwner) != nullptr) {
            DestroyWindow(w->Handle());
        }
    }
};

TEST_F(TrayIconTest, TheStoredFileGivesA32By32IconThatIsAddedReplacedAndRemoved) {
    std::vector<unsigned char> file = StoredIconFile();
    ASSERT_EQ(file.size(), 4286u);

    EXPECT_TRUE(SetTrayIcon(*w, file, "Kest_Trigora1.0"));
    EXPECT_TRUE(Registered(w->Handle()));
    HICON first = w->Tray().Icon();
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(first, &info));
    BITMAP bm{};
    GetObjectW(info.hbmColor, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    EXPECT_EQ(bm.bmHeight, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);

    // Replacing: a new handle, the old one destroyed, still the one icon.
    EXPECT_TRUE(SetTrayIcon(*w, file, "another tip"));
    EXPECT_NE(w->Tray().Icon(), first);
    EXPECT_FALSE(GetIconInfo(first, &info)) << "the replaced handle is destroyed";
    EXPECT_TRUE(Registered(w->Handle()));

    // Empty bytes remove it.
    EXPECT_FALSE(SetTrayIcon(*w, {}, ""));
    EXPECT_FALSE(Registered(w->Handle()));
    EXPECT_FALSE(w->Tray().HasIcon());
}

TEST_F(TrayIconTest, BytesOfNoIconRemoveAnIconAndAddNothing) {
    std::vector<unsigned char> junk(300, 0x5a);
    EXPECT_FALSE(SetTrayIcon(*w, junk, "tip"));
    EXPECT_FALSE(Registered(w->Handle()));
    EXPECT_TRUE(SetTrayIcon(*w, StoredIconFile(), "tip"));
    EXPECT_FALSE(SetTrayIcon(*w, junk, "tip"));
    EXPECT_FALSE(Registered(w->Handle()));
}

TEST_F(TrayIconTest, DestroyingTheOwnerRemovesItsIcon) {
    ASSERT_TRUE(SetTrayIcon(*w, StoredIconFile(), "tip"));
    HWND owner = w->Handle();
    DestroyWindow(owner);
    EXPECT_FALSE(Registered(owner));
}

TEST(TrayAction, OnlyTheListedMouseActionsDeliverAnEvent) {
    struct Case {
        UINT message;
        int action;
    };
    const Case cases[] = {{WM_LBUTTONUP, 1},   {WM_LBUTTONDBLCLK, 2}, {WM_RBUTTONUP, 3},  {WM_CONTEXTMENU, 3},
                          {WM_MOUSEMOVE, 0},   {WM_LBUTTONDOWN, 0},   {WM_RBUTTONDOWN, 0}, {WM_MBUTTONUP, 0},
                          {WM_RBUTTONDBLCLK, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(TrayActionOf(c.message), c.action) << "message " << c.message;
    }
}

} // namespace

int main(int argc, char** argv) {
    InitialiseShell();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
