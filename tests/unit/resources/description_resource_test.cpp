// Tests of the generated description text: GBK bytes, eleven CR LF lines, the heading and the paragraphs.
#include "generated_file.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <cerrno>
#include <string>
#include <vector>

namespace trigora {
namespace {

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2) {
        lines.push_back(text.substr(start, at - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

// Characters as the edit box counts them: a GBK lead byte and its trail byte are one.
std::size_t GbkCharacters(const std::string& line) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < line.size(); ++n) {
        const auto b = static_cast<unsigned char>(line[i]);
        i += b >= 0x81 && b <= 0xFE ? 2 : 1;
    }
    return n;
}

// UTF-8 of a code page 936 text through iconv(3); false at the first byte sequence it cannot decode.
bool DecodeCp936(const std::string& in, std::string& out) {
    iconv_t cd = iconv_open("UTF-8", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string buffer(in.size() * 3 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = buffer.data();
    std::size_t dstLeft = buffer.size();
    const std::size_t done = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1) || srcLeft != 0) {
        return false;
    }
    out.assign(buffer.data(), buffer.size() - dstLeft);
    return true;
}

class DescriptionResource : public testing::Test {
  protected:
    void SetUp() override {
        text_ = test::ReadGeneratedFile("description.txt");
        ASSERT_FALSE(text_.empty());
        lines_ = SplitCrLf(text_);
    }

    std::string text_;
    std::vector<std::string> lines_;
};

TEST_F(DescriptionResource, ElevenCrLfLinesTheLastEmpty) {
    ASSERT_EQ(lines_.size(), 11u);
    EXPECT_TRUE(lines_.back().empty());
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        EXPECT_EQ(lines_[i].find_first_of("\r\n"), std::string::npos)
            << "a lone line break in line " << i + 1;
    }
    for (std::size_t i : {0, 2, 4, 6, 8, 10}) {
        EXPECT_TRUE(lines_[i].empty()) << "line " << i + 1;
    }
}

TEST_F(DescriptionResource, HeadingBytes) {
    ASSERT_GE(lines_.size(), 2u);
    // This source's narrow literals are compiled to code page 936, the resource's encoding.
    EXPECT_EQ(lines_[1], std::string(17, ' ') + "< 弧   度   制   由   来 >");
    EXPECT_EQ(lines_[1].substr(17, 4), "< \xBB\xA1"); // 弧 in GBK, whatever the compiler did
}

TEST_F(DescriptionResource, FourIndentedParagraphsOfTheGivenLengths) {
    ASSERT_EQ(lines_.size(), 11u);
    const std::size_t lengths[] = {138, 143, 123, 97};
    for (int p = 0; p < 4; ++p) {
        const std::string& line = lines_[3 + 2 * p];
        EXPECT_EQ(line.substr(0, 4), "    ") << "paragraph " << p + 1;
        ASSERT_GT(line.size(), 4u);
        EXPECT_NE(line[4], ' ') << "paragraph " << p + 1 << " is indented by exactly four spaces";
        // The lengths are a guide to how the box scrolls; the wording may move them a little.
        const auto n = static_cast<long>(GbkCharacters(line));
        EXPECT_NEAR(n, static_cast<long>(lengths[p]), 10) << "paragraph " << p + 1;
        const auto doubleByte = static_cast<long>(line.size()) - n;
        EXPECT_GE(2 * doubleByte, n) << "paragraph " << p + 1 << " is mostly Chinese";
    }
}

TEST_F(DescriptionResource, ValidGbkThroughout) {
    std::string utf8;
    ASSERT_TRUE(DecodeCp936(text_, utf8)) << "errno " << errno;
    EXPECT_EQ(utf8.find("\xEF\xBF\xBD"), std::string::npos) << "a replacement character";
    for (unsigned char c : text_) {
        EXPECT_TRUE(c >= 0x20 || c == '\r' || c == '\n') << "control byte " << int{c};
    }
    // Each double-byte character is a lead byte 0x81-0xFE and a trail byte 0x40-0xFE other than 0x7F.
    for (std::size_t i = 0; i < text_.size(); ++i) {
        const auto b = static_cast<unsigned char>(text_[i]);
        if (b >= 0x81 && b <= 0xFE) {
            ASSERT_LT(i + 1, text_.size());
            const auto t = static_cast<unsigned char>(text_[++i]);
            EXPECT_TRUE(t >= 0x40 && t <= 0xFE && t != 0x7F) << "trail byte at " << i;
        } else {
            EXPECT_LT(b, 0x80) << "stray byte at " << i;
        }
    }
}

} // namespace
} // namespace trigora
