// The four shipped binaries (Trigora.exe and Pelk.dll, PE32 and PE32+) carry what the loader and
// the runtime need to harden them: a movable base with its relocations, no code run from data,
// the whole 64-bit address space for the PE32+, stack canaries and checked string functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t Read(const Bytes& b, size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) {
        v = (v << 8) | (at + i < b.size() ? b[at + i] : 0);
    }
    return v;
}

constexpr std::uint16_t kHighEntropyVa = 0x0020, kDynamicBase = 0x0040, kNxCompat = 0x0100;
constexpr size_t kOptionalHeaderAt = 24; // after "PE\0\0" and the file header
constexpr size_t kDllCharacteristicsAt = 70;

struct PeFile {
    bool valid = false;
    bool pe32plus = false;
    std::uint16_t machine = 0;
    size_t dllCharacteristicsAt = 0; // file offset, for the fixtures below
    std::uint16_t dllCharacteristics = 0;
    std::uint32_t relocationSize = 0;
    // Bytes of every section but the resources: Trigora.exe embeds Pelk.dll as a resource, whose
    // own canary handler must not stand in for the program's.
    std::string code;
};

PeFile Parse(const Bytes& b) {
    PeFile pe;
    if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') {
        return pe;
    }
    size_t nt = Read(b, 0x3c, 4);
    if (nt + kOptionalHeaderAt + 112 > b.size() || std::memcmp(&b[nt], "PE\0\0", 4) != 0) {
        return pe;
    }
    pe.machine = static_cast<std::uint16_t>(Read(b, nt + 4, 2));
    size_t sections = Read(b, nt + 6, 2);
    size_t optional = nt + kOptionalHeaderAt;
    size_t optionalSize = Read(b, nt + 20, 2);
    std::uint32_t magic = Read(b, optional, 2);
    if (magic != 0x10b && magic != 0x20b) {
        return pe;
    }
    pe.pe32plus = magic == 0x20b;
    pe.dllCharacteristicsAt = optional + kDllCharacteristicsAt;
    pe.dllCharacteristics = static_cast<std::uint16_t>(Read(b, pe.dllCharacteristicsAt, 2));
    size_t directories = optional + (pe.pe32plus ? 112 : 96);
    pe.relocationSize = Read(b, directories + 5 * 8 + 4, 4); // directory 5: base relocations
    for (size_t i = 0, at = optional + optionalSize; i < sections; ++i, at += 40) {
        if (at + 40 > b.size()) {
            return pe;
        }
        std::string name(reinterpret_cast<const char*>(&b[at]),
                         strnlen(reinterpret_cast<const char*>(&b[at]), 8));
        size_t size = Read(b, at + 16, 4), start = Read(b, at + 20, 4);
        if (name != ".rsrc" && start < b.size()) {
            pe.code.append(reinterpret_cast<const char*>(&b[start]), std::min(size, b.size() - start));
        }
    }
    pe.valid = true;
    return pe;
}

// What the binary lacks, in words; empty when it is hardened.
std::vector<std::string> MissingHardening(const Bytes& file) {
    PeFile pe = Parse(file);
    if (!pe.valid) {
        return {"a readable PE header"};
    }
    std::vector<std::string> missing;
    if ((pe.dllCharacteristics & kDynamicBase) == 0) {
        missing.push_back("ASLR (dynamic base)");
    }
    if (pe.relocationSize == 0) {
        missing.push_back("base relocations");
    }
    if ((pe.dllCharacteristics & kNxCompat) == 0) {
        missing.push_back("DEP (NX compatible)");
    }
    if (pe.pe32plus && (pe.dllCharacteristics & kHighEntropyVa) == 0) {
        missing.push_back("high-entropy ASLR");
    }
    // libssp's handlers are linked only when compiled code calls them.
    if (pe.code.find("*** stack smashing detected ***") == std::string::npos) {
        missing.push_back("stack protection");
    }
    if (pe.code.find("*** buffer overflow detected ***") == std::string::npos) {
        missing.push_back("fortified string functions");
    }
    return missing;
}

struct Shipped {
    const char* path;
    bool pe32plus;
    std::uint16_t machine;
};

const Shipped kShipped[] = {
    {TRIGORA_WIN32_OUT "/Trigora.exe", false, 0x014c},
    {TRIGORA_WIN32_OUT "/Pelk.dll", false, 0x014c},
    {TRIGORA_WIN64_OUT "/Trigora.exe", true, 0x8664},
    {TRIGORA_WIN64_OUT "/Pelk.dll", true, 0x8664},
};

TEST(Hardening, EveryShippedBinaryIsHardened) {
    for (const Shipped& s : kShipped) {
        SCOPED_TRACE(s.path);
        Bytes file = ReadFile(s.path);
        ASSERT_FALSE(file.empty()) << "not built";
        PeFile pe = Parse(file);
        EXPECT_EQ(pe.pe32plus, s.pe32plus);
        EXPECT_EQ(pe.machine, s.machine);
        EXPECT_EQ(MissingHardening(file), std::vector<std::string>{});
    }
}

// The check itself: each flag cleared in a real binary is named, and only that one.
TEST(Hardening, AClearedFlagIsNamed) {
    const struct {
        std::uint16_t flag;
        const char* name;
    } kFlags[] = {
        {kDynamicBase, "ASLR (dynamic base)"},
        {kNxCompat, "DEP (NX compatible)"},
        {kHighEntropyVa, "high-entropy ASLR"},
    };
    Bytes original = ReadFile(kShipped[2].path);
    PeFile pe = Parse(original);
    ASSERT_TRUE(pe.valid);
    for (const auto& f : kFlags) {
        SCOPED_TRACE(f.name);
        Bytes file = original;
        std::uint16_t cleared = pe.dllCharacteristics & ~f.flag;
        file[pe.dllCharacteristicsAt] = static_cast<unsigned char>(cleared & 0xff);
        file[pe.dllCharacteristicsAt + 1] = static_cast<unsigned char>(cleared >> 8);
        EXPECT_EQ(MissingHardening(file), std::vector<std::string>{f.name});
    }
}

TEST(Hardening, ABinaryWithoutTheCanaryHandlerIsNamed) {
    Bytes file = ReadFile(kShipped[1].path);
    const std::string mark = "*** stack smashing detected ***";
    auto at = std::search(file.begin(), file.end(), mark.begin(), mark.end());
    ASSERT_NE(at, file.end());
    *at = '#';
    EXPECT_EQ(MissingHardening(file), std::vector<std::string>{"stack protection"});
}

TEST(Hardening, NoPeHeaderIsNamed) {
    EXPECT_EQ(MissingHardening(Bytes{'M', 'Z'}), std::vector<std::string>{"a readable PE header"});
    EXPECT_EQ(MissingHardening(Bytes(4096, 0)), std::vector<std::string>{"a readable PE header"});
}

} // namespace
