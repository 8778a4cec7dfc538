#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "markup/markup_doc.h"
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
        {"\xC3\xA9\xDF\xBF\xE4\xB8\xAD\xF0\x9F\x98\x80", u"\u00E9\u07FF\u4E2D\U0001F600",
         Status::NoRootElement},
        // Rejected sequences become "?" and decoding goes on at the byte that broke them.
        {"\x80\x41<a/>", u"?A<a/>"},
        {"<a/>\xE4\xB8", u"<a/>?"},
        {"<a/>\xE4<", u"<a/>?<", Status::UnterminatedTag},
        {"<a/>\xF8\x80", u"<a/>??"},
        // Values beyond U+10FFFF are not rejected; they keep the bits that fit a pair.
        {"<a/>\xF7\xBF\xBF\xBF", std::u16string(u"<a/>") + char16_t(0xDBBF) + char16_t(0xDFFF)},
        // Anything that decodes to 0 ends the text; the load still counts every byte.
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
        Status status = Status::FileUnreadable;
        int error = ENOENT;
        int64_t bytes = -1;
    } cases[] = {
        {folder + "/missing.xml"},
        {folder + "/sub", Status::FileUnreadable, EISDIR},
        {big, Status::TooLarge, 0, 0x80000000LL},
        // The C library would cut the path at the zero and open "ok.xml".
        {Write("ok.xml", "<r/>") + std::string(1, '\0') + "x"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(doc.LoadFile(Widen(c.path))) << c.path;
        const ParseResult& r = doc.Result();
        EXPECT_EQ(std::tuple(r.status, r.systemError, r.bytes),
                  std::tuple(c.status, c.error, c.bytes));
        EXPECT_EQ(doc.DocText(), u"<a x='1'/>");
        EXPECT_EQ(doc.ElemUsed(), 2);
        EXPECT_EQ(doc.GetAttribute(u"x"), u"1");  // the cursor stays too
    }
}

}  // namespace
}  // namespace markup
