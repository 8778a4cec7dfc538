#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "markup/markup_doc.h"
#include "markup/utf8_text.h"
#include "u16_text.h"

namespace markup {
namespace {

class LoadFileTest : public testing::Test {
  protected:
    LoadFileTest() { std::filesystem::create_directories(folder); }
    ~LoadFileTest() override { std::filesystem::remove_all(folder); }
    // Writes the bytes to a file of the test folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
        return folder + "/" + name;
    }
    const std::string folder = "/tmp/markup_test_" + std::to_string(getpid());
};

TEST_F(LoadFileTest, BytesToUnits) {
    const struct {
        std::string bytes;
        std::u16string text;
        Status status = Status::Ok;
    } cases[] = {
        {"\xEF\xBB\xBF<a/>", u"\uFEFF<a/>"},
        {
            "<a v='\xC3\xA9\xDF\xBF\xE4\xB8\xAD'/>",
            u"<a v='\u00E9\u07FF\u4E2D'/>",
        },
        {"<a v='\xF0\x9F\x98\x80'/>", u"<a v='\U0001F600'/>"},
        // Rejected sequences become "?" and decoding goes on at the byte that broke them.
        {"\x80\x41<a/>", u"?A<a/>"},
        {"<a/>\xE4\xB8", u"<a/>?"},
        {"<a/>\xE4<", u"<a/>?<", Status::UnterminatedTag},
        {"<a/>\xF8\x80", u"<a/>??"},
        // Values beyond U+10FFFF are not rejected; they keep the bits that fit a pair.
        {
            "<a/>\xF7\xBF\xBF\xBF",
            std::u16string(u"<a/>") + char16_t(0xDBBF) + char16_t(0xDFFF),
        },
        // Anything that decodes to 0 ends the text; the load line still counts every byte.
        {std::string("<a/>\0<b/>", 9), u"<a/>"},
        {"<a/>\xC0\x80<b/>", u"<a/>"},
        {std::string("\xFF\xFE<\0a\0/\0>\0", 10), u"?\?<", Status::NoRootElement},
        {"", u"", Status::EmptyDocument},
    };
    // Paths are UTF-16, with backslashes between folders as on Windows.
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = std::to_string(n++);
        Write("\xE6\x9B\xB4\xF0\x9F\x98\x80" + name, c.bytes);
        MarkupDoc doc;
        EXPECT_EQ(doc.LoadFile(Widen(folder) + u"\\\u66F4\U0001F600" + Widen(name)),
                  c.status == Status::Ok)
            << name;
        EXPECT_EQ(Narrow(doc.DocText()), Narrow(c.text)) << name;
        // The load counts every byte, also those after a zero.
        const ParseResult& r = doc.Result();
        EXPECT_EQ(std::tuple(r.status, r.bytes, r.units),
                  std::tuple(c.status, int64_t(c.bytes.size()), int64_t(c.text.size())))
            << name;
    }
}

TEST_F(LoadFileTest, UnreadableFilesKeepThePreviousDocument) {
    MarkupDoc doc;
    ASSERT_TRUE(doc.SetDocument(u"<a x='1'/>") && doc.FindElement(u"a"));

    // A file too large for 32-bit offsets is refused before anything is read (it is sparse).
    const std::string big = Write("big.xml", "<r/>");
    ASSERT_EQ(truncate(big.c_str(), 0x80000000LL), 0);
    std::filesystem::create_directory(folder + "/sub");
    const struct {
        std::string path;
        ParseResult result;
    } cases[] = {
        {folder + "/missing.xml", {.status = Status::FileUnreadable, .systemError = ENOENT}},
        {folder + "/sub", {.status = Status::FileUnreadable, .systemError = EISDIR}},
        {big, {.status = Status::TooLarge, .bytes = 0x80000000LL}},
        // The C library would cut the path at the zero and open "ok.xml".
        {Write("ok.xml", "<r/>") + std::string(1, '\0') + "x",
         {.status = Status::FileUnreadable, .systemError = ENOENT}},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(doc.LoadFile(Widen(c.path))) << c.path;
        const ParseResult& r = doc.Result();
        EXPECT_EQ(std::tuple(r.status, r.bytes, r.systemError),
                  std::tuple(c.result.status, c.result.bytes, c.result.systemError));
        EXPECT_EQ(doc.DocText(), u"<a x='1'/>");
        EXPECT_EQ(doc.ElemUsed(), 2);
        EXPECT_EQ(doc.GetAttribute(u"x"), u"1");  // the cursor stays too
    }
}

// The conversion in place, with its fast ASCII and three-byte stretches, must give exactly what
// the byte-by-byte decoder does, and the count must agree with it.
TEST(Utf8ToUtf16, InPlaceConversionMatchesTheDecoderOnRandomBytes) {
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::vector<uint8_t> bytes(random() % 40);
        for (uint8_t& b : bytes) b = random() % 2 ? random() % 256 : 0x20 + random() % 0x5F;
        std::u16string slow, text;
        for (const uint8_t *p = bytes.data(), *end = p + bytes.size(); p < end;) {
            const int32_t v = DecodeUtf8Char(p, end);
            if (v == 0) break;
            if (v >= 0x10000) {
                slow += {static_cast<char16_t>(0xD800 + (((v - 0x10000) >> 10) & 0x3FF)),
                         static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF))};
            } else {
                slow.push_back(v < 0 ? u'?' : static_cast<char16_t>(v));
            }
        }
        Utf8ToText(bytes.data(), bytes.size(), text);
        ASSERT_EQ(Narrow(text), Narrow(slow));
        ASSERT_EQ(Utf8ToUtf16(nullptr, bytes.data(), bytes.size()),
                  static_cast<int64_t>(slow.size()));
    }
}

}  // namespace
}  // namespace markup
