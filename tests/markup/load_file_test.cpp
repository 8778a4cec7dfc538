#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "markup/markup_doc.h"
#include "markup/utf8_text.h"
#include "u16_text.h"

namespace markup {
namespace {

class LoadFileTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/markup_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override {
        for (const std::string& file : files) std::remove(file.c_str());
        rmdir((folder + "/sub").c_str());
        rmdir(folder.c_str());
    }
    // Writes the bytes to a file of the test folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = folder + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        files.push_back(path);
        return path;
    }
    std::string folder;
    std::vector<std::string> files;
};

TEST_F(LoadFileTest, BytesToUnits) {
    const struct {
        std::string bytes;
        std::u16string text;
        std::u16string result;
        bool wellFormed;
    } cases[] = {
        {"<a/>", u"<a/>", u"4 bytes to 4 wide chars", true},
        {"\xEF\xBB\xBF<a/>", u"\uFEFF<a/>", u"7 bytes to 5 wide chars", true},
        {"<a v='\xE4\xB8\xAD'/>", u"<a v='\u4E2D'/>", u"12 bytes to 10 wide chars", true},
        {"<a v='\xF0\x9F\x98\x80'/>", u"<a v='\U0001F600'/>", u"13 bytes to 11 wide chars", true},
        {"<a v='\xC3\xA9\xDF\xBF'/>", u"<a v='\u00E9\u07FF'/>", u"13 bytes to 11 wide chars", true},
        // Rejected sequences become "?" and decoding goes on at the byte that broke them.
        {"\x80"
         "A<a/>",
         u"?A<a/>", u"6 bytes to 6 wide chars", true},
        {"<a/>\xFF", u"<a/>?", u"5 bytes to 5 wide chars", true},
        {"<a/>\xE4\xB8", u"<a/>?", u"6 bytes to 5 wide chars", true},
        {"<a/>\xE4<", u"<a/>?<", u"6 bytes to 6 wide chars, tag at offset 5 unterminated", false},
        {"<a/>\xF8\x80", u"<a/>??", u"6 bytes to 6 wide chars", true},
        // Values beyond U+10FFFF are not rejected; they keep the bits that fit a pair.
        {"<a/>\xF7\xBF\xBF\xBF", std::u16string(u"<a/>") + char16_t(0xDBBF) + char16_t(0xDFFF),
         u"8 bytes to 6 wide chars", true},
        // Anything that decodes to 0 ends the text; the load line still counts every byte.
        {std::string("<a/>\0<b/>", 9), u"<a/>", u"9 bytes to 4 wide chars", true},
        {"<a/>\x80\x80<b/>", u"<a/>", u"10 bytes to 4 wide chars", true},
        {"<a/>\xC0\x80<b/>", u"<a/>", u"10 bytes to 4 wide chars", true},
        {std::string("\xFF\xFE<\0a\0/\0>\0", 10), u"?\?<",
         u"10 bytes to 3 wide chars, No root element", false},
        {"", u"", u"0 bytes to 0 wide chars, Empty document", false},
        {"<a><b/>", u"<a><b/>", u"7 bytes to 7 wide chars, Root element has sibling", false},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = Write("case" + std::to_string(n++) + ".xml", c.bytes);
        MarkupDoc doc;
        EXPECT_EQ(doc.LoadFile(Widen(path)), c.wellFormed) << path;
        EXPECT_EQ(Narrow(doc.DocText()), Narrow(c.text)) << path;
        EXPECT_EQ(Narrow(doc.ResultText()), Narrow(c.result)) << path;
    }
}

TEST_F(LoadFileTest, UnreadableFilesKeepThePreviousDocument) {
    MarkupDoc doc;
    ASSERT_TRUE(doc.SetDocument(u"<r><a x='1'/></r>"));
    ASSERT_TRUE(doc.FindElement(u"r"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement(u"a"));

    // A file too large for 32-bit offsets is refused before anything is read (it is sparse).
    const std::string big = Write("big.xml", "<r/>");
    ASSERT_EQ(truncate(big.c_str(), 0x80000000LL), 0);
    mkdir((folder + "/sub").c_str(), 0700);
    const struct {
        std::string path;
        std::u16string result;
    } cases[] = {
        {folder + "/missing.xml", u"No such file or directory"},
        {folder + "/sub", u"Is a directory"},
        {big, u"File of 2147483648 bytes is too large"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(doc.LoadFile(Widen(c.path))) << c.path;
        EXPECT_EQ(Narrow(doc.ResultText()), Narrow(c.result));
        EXPECT_EQ(doc.DocText(), u"<r><a x='1'/></r>");
        EXPECT_EQ(doc.ElemUsed(), 3);
        EXPECT_EQ(doc.GetAttribute(u"x"), u"1");  // the cursor stays too
    }
}

TEST_F(LoadFileTest, PathsAreUtf16AndBackslashesSeparateFolders) {
    const std::string name = "\xE6\x9B\xB4\xE6\x96\xB0.xml";  // two CJK characters
    Write(name, "<r/>");
    const std::u16string path = Widen(folder) + u"\\\u66F4\u65B0.xml";
    MarkupDoc doc;
    EXPECT_TRUE(doc.LoadFile(path)) << Narrow(doc.ResultText());
    EXPECT_FALSE(doc.LoadFile(Widen(folder) + u"/r.xml" + std::u16string(1, u'\0') + u"x"));
}

// Counting and writing must agree unit for unit, and the fast ASCII stretches must decode
// exactly as the byte-by-byte decoder does.
TEST(Utf8ToUtf16, CountMatchesWritesOnRandomBytes) {
    std::mt19937 random(7);
    const uint8_t interesting[] = {0x00, 0x41, 0x3C, 0x7F, 0x80, 0xBF, 0xC0, 0xC3,
                                   0xDF, 0xE0, 0xE4, 0xEF, 0xF0, 0xF4, 0xF7, 0xFF};
    for (int round = 0; round < 20000; ++round) {
        std::vector<uint8_t> bytes(random() % 40);
        for (uint8_t& b : bytes) {
            b = random() % 3 == 0 ? interesting[random() % 16] : 0x20 + random() % 0x5F;
        }
        const int64_t count = Utf8ToUtf16(nullptr, bytes.data(), bytes.size());
        std::u16string written(static_cast<size_t>(count) + 8, u'#');
        Utf8ToUtf16(written.data(), bytes.data(), bytes.size());
        ASSERT_EQ(written[static_cast<size_t>(count)], 0);
        written.resize(static_cast<size_t>(count));

        std::u16string slow;
        const uint8_t* p = bytes.data();
        const uint8_t* end = p + bytes.size();
        while (p < end) {
            const int32_t v = DecodeUtf8Char(p, end);
            if (v == 0) break;
            if (v < 0) {
                slow.push_back(u'?');
            } else if (v >= 0x10000) {
                slow.push_back(static_cast<char16_t>(0xD800 + (((v - 0x10000) >> 10) & 0x3FF)));
                slow.push_back(static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF)));
            } else {
                slow.push_back(static_cast<char16_t>(v));
            }
        }
        ASSERT_EQ(Narrow(written), Narrow(slow));
        std::u16string text;
        Utf8ToText(bytes.data(), bytes.size(), text);
        ASSERT_EQ(text, slow);
    }
}

}  // namespace
}  // namespace markup
