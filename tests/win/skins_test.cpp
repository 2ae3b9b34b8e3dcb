// Skins under Wine: the registry codec of the thirteen settings, writing skin files, and where the
// engine library goes.
#include "resources/resource_ids.h"
#include "shell/app.h"
#include "skins/catalogue.h"
#include "skins/settings_registry.h"
#include "skins/skin_engine.h"
#include "skins/skin_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace trigora::skins {
namespace {

constexpr wchar_t kKey[] = L"Software\\Microsoft\\Vornel\\Trigora";

// Value names as the registry holds them (UTF-16), in the order of the settings table.
const wchar_t* const kWideNames[kSettingCount] = {
    L"SkinID", L"SDID",  L"BHDID", L"LDID",  L"CDTMID", L"Aero\u7279\u6548", L"Aero1", L"Aero2",
    L"Aero3",  L"Aero4", L"Aero5", L"Aero6", L"Aero7"};

// Every test starts without the key: all tests of this program share one Wine prefix.
class Registry : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }

    static void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static void SetDword(const wchar_t* name, DWORD value) { SetRaw(name, REG_DWORD, &value, sizeof value); }

    // The raw value: its type and its bytes; type REG_NONE when it is not there.
    struct Raw {
        DWORD type = REG_NONE;
        std::vector<BYTE> bytes;
    };
    static Raw GetRaw(const wchar_t* name) {
        Raw raw;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
            return raw;
        }
        DWORD size = 64;
        raw.bytes.resize(size);
        if (RegQueryValueExW(key, name, nullptr, &raw.type, raw.bytes.data(), &size) != ERROR_SUCCESS) {
            raw.type = REG_NONE;
            size = 0;
        }
        raw.bytes.resize(size);
        RegCloseKey(key);
        return raw;
    }
};

TEST_F(Registry, AllThirteenValuesRoundTripAsFourByteDwords) {
    SkinSettings s;
    s.skinId = 25;
    s.hue = 17;
    s.saturation = 199;
    s.brightness = 3;
    s.menuAlpha = 128;
    s.aero = 1;
    s.aeroValues = {1, 254, 12, 18, 9, 0, 77};
    ASSERT_TRUE(SaveSkinSettings(s));
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        Raw raw = GetRaw(kWideNames[i]);
        SCOPED_TRACE(kSettingValues[i].name);
        ASSERT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
        ASSERT_EQ(raw.bytes.size(), 4u);
        DWORD value = 0;
        std::memcpy(&value, raw.bytes.data(), 4);
        EXPECT_EQ(static_cast<std::int32_t>(value), ValueOf(s, i));
    }
    EXPECT_EQ(LoadSkinSettings(), s);
}

TEST_F(Registry, TheShadowSwitchIsStoredUnderItsChineseName) {
    SkinSettings s;
    s.aero = 1;
    ASSERT_TRUE(SaveSkinSettings(s));
    Raw raw = GetRaw(L"Aero\u7279\u6548");
    ASSERT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw.bytes[0], 1);
    // Not under the GBK bytes taken for Latin-1, which is what a narrow call in the wrong code
    // page would have made of it.
    EXPECT_EQ(GetRaw(L"Aero\u00cc\u00d8\u00d0\u00a7").type, static_cast<DWORD>(REG_NONE));
}

TEST_F(Registry, NumbersAreCutTowardZero) {
    const struct {
        double number;
        DWORD stored;
    } cases[] = {{7.9, 7}, {-7.9, static_cast<DWORD>(-7)}, {0.5, 0}, {255.0, 255}, {1e12, 0x7FFFFFFF}};
    std::string path = ValuePath(1);
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteRegistryNumber(path, c.number));
        Raw raw = GetRaw(L"SDID");
        ASSERT_EQ(raw.bytes.size(), 4u);
        DWORD value = 0;
        std::memcpy(&value, raw.bytes.data(), 4);
        EXPECT_EQ(value, c.stored) << c.number;
    }
}

TEST_F(Registry, AMissingKeyGivesTheDefaults) {
    EXPECT_EQ(LoadSkinSettings(), SkinSettings{});
    EXPECT_EQ(ReadRegistryNumber(ValuePath(0), 42), 42);
    EXPECT_EQ(ReadRegistryNumber(ValuePath(0)), 0);
}

TEST_F(Registry, AMissingValueGivesItsDefaultAndLeavesTheOthers) {
    SetDword(L"CDTMID", 7);
    SkinSettings expected;
    expected.menuAlpha = 7;
    EXPECT_EQ(LoadSkinSettings(), expected);
}

TEST_F(Registry, ValuesOfAnotherTypeReadAsMissing) {
    const wchar_t text[] = L"5";
    const BYTE binary[4] = {5, 0, 0, 0};
    const unsigned long long qword = 5;
    const WORD shortDword = 5;
    const struct {
        const char* what;
        DWORD type;
        const void* data;
        DWORD size;
    } kinds[] = {
        {"REG_SZ", REG_SZ, text, sizeof text},
        {"REG_BINARY", REG_BINARY, binary, sizeof binary},
        {"REG_QWORD", REG_QWORD, &qword, sizeof qword},
        {"REG_DWORD of 2 bytes", REG_DWORD, &shortDword, sizeof shortDword},
        {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN, binary, sizeof binary},
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.what);
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        for (const wchar_t* name : kWideNames) {
            SetRaw(name, k.type, k.data, k.size);
        }
        EXPECT_EQ(LoadSkinSettings(), SkinSettings{});
    }
}

TEST_F(Registry, OutOfDomainValuesReadClamped) {
    for (const wchar_t* name : kWideNames) {
        SetDword(name, static_cast<DWORD>(-5));
    }
    SkinSettings low = LoadSkinSettings();
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        EXPECT_EQ(ValueOf(low, i), kSettingValues[i].minimum) << kSettingValues[i].name;
    }
    for (const wchar_t* name : kWideNames) {
        SetDword(name, 999);
    }
    SkinSettings high = LoadSkinSettings();
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        EXPECT_EQ(ValueOf(high, i), kSettingValues[i].maximum) << kSettingValues[i].name;
    }
}

// A key the user may read but not write: saving fails quietly, reading still works.
TEST_F(Registry, AReadOnlyKeyFailsTheSaveAndStillReads) {
    SetDword(L"SDID", 90);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, WRITE_DAC, &key), ERROR_SUCCESS);
    // Everyone may read; nobody may write.
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    alignas(DWORD) BYTE aclBytes[256];
    auto* acl = reinterpret_cast<PACL>(aclBytes);
    InitializeAcl(acl, sizeof aclBytes, ACL_REVISION);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);
    RegCloseKey(key);
    FreeSid(everyone);

    HKEY probe = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &probe) == ERROR_SUCCESS) {
        RegCloseKey(probe);
        GTEST_SKIP() << "this registry does not enforce the key's access list";
    }
    SkinSettings s;
    s.hue = 10;
    EXPECT_FALSE(SaveSkinSettings(s));
    EXPECT_FALSE(WriteRegistryNumber(ValuePath(1), 11));
    EXPECT_EQ(LoadSkinSettings().hue, 90);
}

// ---- Skin files -------------------------------------------------------------------------------

std::wstring TempFolder(const wchar_t* leaf) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + leaf;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::vector<char> ReadAll(const std::wstring& path) {
    std::vector<char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    DWORD size = GetFileSize(file, nullptr);
    bytes.resize(size);
    DWORD got = 0;
    if (size != 0) {
        ReadFile(file, bytes.data(), size, &got, nullptr);
    }
    bytes.resize(got);
    CloseHandle(file);
    return bytes;
}

std::vector<char> Stored(int index) {
    auto block = StoredSkinFile(index);
    return {block.begin(), block.end()};
}

class SkinFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = TempFolder(L"trigora-skin-files");
        path_ = folder_ + L"\\skinh.she";
        DeleteFileW(path_.c_str());
        SetCurrentSkinFilePath(path_);
    }
    void TearDown() override {
        DeleteFileW(path_.c_str());
        SetCurrentSkinFilePath(L"");
    }
    std::wstring folder_;
    std::wstring path_;
};

TEST_F(SkinFiles, EveryEntryIsStoredWithItsCatalogueSize) {
    for (int i = 0; i < kNoSkin; ++i) {
        auto block = StoredSkinFile(i);
        ASSERT_EQ(block.size(), kCatalogue[i].storedBytes) << kCatalogue[i].name;
        EXPECT_EQ(std::string(block.data(), 4), ".SHE");
    }
    EXPECT_TRUE(StoredSkinFile(kNoSkin).empty());
    EXPECT_TRUE(StoredSkinFile(-1).empty());
    EXPECT_TRUE(StoredSkinFile(30).empty());
    // Entries 13 and 14 announce the same content size and are still different skins.
    EXPECT_NE(Stored(13), Stored(14));
}

TEST_F(SkinFiles, WritingAnEntryLeavesItsStoredFileByteForByte) {
    ASSERT_TRUE(WriteSkinFile(28));
    std::vector<char> written = ReadAll(path_);
    EXPECT_EQ(written.size(), 30958u);
    EXPECT_EQ(written, Stored(28));
    // The smaller file over the larger: the file is truncated, not overwritten in place.
    ASSERT_TRUE(WriteSkinFile(0));
    written = ReadAll(path_);
    EXPECT_EQ(written.size(), 15574u);
    EXPECT_EQ(std::string(written.data(), 4), ".SHE");
    EXPECT_EQ(written, Stored(0));
}

TEST_F(SkinFiles, NoSkinWritesNothing) {
    ASSERT_TRUE(WriteSkinFile(5));
    for (int index : {kNoSkin, -1, 30}) {
        EXPECT_FALSE(WriteSkinFile(index)) << index;
    }
    EXPECT_EQ(ReadAll(path_), Stored(5));
    DeleteFileW(path_.c_str());
    EXPECT_FALSE(WriteSkinFile(kNoSkin));
    EXPECT_EQ(GetFileAttributesW(path_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SkinFiles, AFolderThatCannotBeWrittenGivesFalse) {
    std::wstring directoryInTheWay = folder_ + L"\\taken.she";
    CreateDirectoryW(directoryInTheWay.c_str(), nullptr);
    for (const std::wstring& path :
         {folder_ + L"\\no such folder\\skinh.she", directoryInTheWay, std::wstring()}) {
        SetCurrentSkinFilePath(path);
        EXPECT_FALSE(WriteSkinFile(0));
    }
    RemoveDirectoryW(directoryInTheWay.c_str());
}

TEST_F(SkinFiles, AFileHeldByAnotherHandleGivesFalseAndItsBytesStay) {
    ASSERT_TRUE(WriteSkinFile(3));
    HANDLE held = CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteSkinFile(25));
    CloseHandle(held);
    EXPECT_EQ(ReadAll(path_), Stored(3));
    EXPECT_TRUE(WriteSkinFile(25));
    EXPECT_EQ(ReadAll(path_), Stored(25));
}

// Large and empty contents, and the comparison that decides whether the engine library is rewritten.
TEST(WriteWholeFile, WritesEveryByteAndTruncates) {
    std::wstring path = TempFolder(L"trigora-whole-file") + L"\\f.bin";
    std::vector<char> big(3u << 20, 'x');
    ASSERT_TRUE(WriteWholeFile(path, big));
    EXPECT_EQ(ReadAll(path).size(), big.size());
    ASSERT_TRUE(WriteWholeFile(path, {}));
    EXPECT_TRUE(ReadAll(path).empty());
    EXPECT_TRUE(HoldsExactly(path, {}));
    EXPECT_FALSE(HoldsExactly(path, big));
    DeleteFileW(path.c_str());
    EXPECT_FALSE(HoldsExactly(path, {}));
}

// ---- The engine library's folder ------------------------------------------------------------

class EngineLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = TempFolder(L"trigora-engine");
        folders_.system = root_ + L"\\system";
        folders_.perUser = root_ + L"\\user\\Trigora";
        CreateDirectoryW(folders_.system.c_str(), nullptr);
        CreateDirectoryW((root_ + L"\\user").c_str(), nullptr);
        library_ = StoredBlock(IDR_ENGINE);
        ASSERT_FALSE(library_.empty());
    }
    void TearDown() override {
        for (const std::wstring& f : {folders_.system, folders_.perUser}) {
            std::wstring lib = f + L"\\Pelk.dll";
            if (!DeleteFileW(lib.c_str())) {
                RemoveDirectoryW(lib.c_str());
            }
            RemoveDirectoryW(f.c_str());
        }
    }
    std::wstring SystemCopy() const { return folders_.system + L"\\Pelk.dll"; }
    std::wstring UserCopy() const { return folders_.perUser + L"\\Pelk.dll"; }

    std::wstring root_;
    EngineFolders folders_;
    std::span<const char> library_;
};

TEST_F(EngineLibrary, GoesToTheSystemFolderWhenItCan) {
    EXPECT_EQ(PlaceEngineLibrary(library_, folders_), folders_.system);
    EXPECT_TRUE(HoldsExactly(SystemCopy(), library_));
    EXPECT_EQ(GetFileAttributesW(UserCopy().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(EngineLibrary, AnIdenticalCopyInUseIsLeftAlone) {
    ASSERT_TRUE(WriteWholeFile(SystemCopy(), library_));
    // As a running instance holds it: others may read, nobody may write.
    HANDLE inUse =
        CreateFileW(SystemCopy().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
    EXPECT_EQ(PlaceEngineLibrary(library_, folders_), folders_.system);
    CloseHandle(inUse);
    EXPECT_EQ(GetFileAttributesW(UserCopy().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(EngineLibrary, AStaleCopyIsReplaced) {
    ASSERT_TRUE(WriteWholeFile(SystemCopy(), library_.subspan(0, 1000)));
    EXPECT_EQ(PlaceEngineLibrary(library_, folders_), folders_.system);
    EXPECT_TRUE(HoldsExactly(SystemCopy(), library_));
}

TEST_F(EngineLibrary, GoesToTheUsersFolderWhenTheSystemFolderIsClosed) {
    // A stale copy that cannot be replaced, and a folder where nothing can be written.
    ASSERT_TRUE(WriteWholeFile(SystemCopy(), library_.subspan(0, 1000)));
    HANDLE inUse =
        CreateFileW(SystemCopy().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
    EXPECT_EQ(PlaceEngineLibrary(library_, folders_), folders_.perUser);
    CloseHandle(inUse);
    EXPECT_TRUE(HoldsExactly(UserCopy(), library_));

    EngineFolders missing{root_ + L"\\no such system folder", folders_.perUser};
    EXPECT_EQ(PlaceEngineLibrary(library_, missing), folders_.perUser);
}

TEST_F(EngineLibrary, NowhereToGoGivesAnEmptyFolder) {
    CreateDirectoryW(SystemCopy().c_str(), nullptr); // a folder by the library's name is in the way
    CreateDirectoryW(folders_.perUser.c_str(), nullptr);
    CreateDirectoryW(UserCopy().c_str(), nullptr);
    EXPECT_EQ(PlaceEngineLibrary(library_, folders_), L"");
}

} // namespace
} // namespace trigora::skins
