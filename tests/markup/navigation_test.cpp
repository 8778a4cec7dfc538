#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "markup/markup_doc.h"
#include "u16_text.h"

namespace markup {
namespace {

const char16_t kManifest[] =
    u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    u"<config>\n"
    u"  <update version=\"2.1\" type='7z' run=\"App.exe\"/>\n"
    u"  <UpdateInstall name=\"setup.exe\" url=\"http://h/s?a=1&amp;b=2\" size=\"10\"/>\n"
    u"  <UpdateExe>\n"
    u"    <item name=\"a.7z\" url=\"http://h/a\" size=\"1\"/>\n"
    u"    <items name=\"decoy\"/>\n"
    u"    <item name=\"b.7z\" url=\"http://h/b\" size=\"2\"><sub x='1'/></item>\n"
    u"  </UpdateExe>\n"
    u"</config>\n";

TEST(Navigation, WalksAManifest) {
    MarkupDoc doc;
    ASSERT_TRUE(doc.SetDocument(kManifest)) << Narrow(doc.ResultText());
    EXPECT_FALSE(doc.FindElement(u"update"));  // not at the top level
    ASSERT_TRUE(doc.FindElement(u"config"));
    ASSERT_TRUE(doc.EnterElement());
    EXPECT_EQ(doc.GetAttribute(u"version"), u"");  // no current element after entering
    ASSERT_TRUE(doc.FindElement(u"update"));
    EXPECT_EQ(doc.GetAttribute(u"version"), u"2.1");
    EXPECT_EQ(doc.GetAttribute(u"type"), u"7z");
    EXPECT_EQ(doc.GetAttribute(u"run"), u"App.exe");
    ASSERT_TRUE(doc.FindElement(u"UpdateInstall"));
    EXPECT_EQ(doc.GetAttribute(u"url"), u"http://h/s?a=1&b=2");
    ASSERT_TRUE(doc.FindElement(u"UpdateExe"));
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement(u"item"));
    EXPECT_EQ(doc.GetAttribute(u"name"), u"a.7z");
    ASSERT_TRUE(doc.FindElement(u"item"));  // "items" is passed over
    EXPECT_EQ(doc.GetAttribute(u"name"), u"b.7z");
    EXPECT_FALSE(doc.FindElement(u"item"));
    EXPECT_EQ(doc.GetAttribute(u"size"), u"2");  // a failed search leaves the cursor
    ASSERT_TRUE(doc.EnterElement());
    ASSERT_TRUE(doc.FindElement(u""));
    EXPECT_EQ(doc.GetAttribute(u"x"), u"1");

    // Every parse puts the cursor back at the start.
    ASSERT_TRUE(doc.SetDocument(kManifest));
    EXPECT_FALSE(doc.EnterElement());
    EXPECT_TRUE(doc.FindElement(u"config"));
}

TEST(Navigation, FindElementNamesAndOrder) {
    const char16_t* text =
        u"<r><item id='1'/><ITEM id='2'/><ite id='3'/><items id='4'/>< item id='5'/>"
        u"<item[2] id='6'/><x id='7'/><item id='8'/></r>";
    // Each walk starts at the children of "r"; id "" means that the search fails.
    const std::vector<std::vector<std::pair<std::u16string, std::u16string>>> walks = {
        {{u"item", u"1"}, {u"", u"2"}, {u"item[2]", u"6"}, {u"item/x", u"8"}, {u"item", u""}},
        {{u"ite", u"3"}, {u"items", u"4"}, {u"", u"6"}, {u"ITEM", u""}, {u"item=1", u"8"}},
        {{u"item ", u"1"}, {u"item]", u"8"}, {u"x", u""}},
    };
    for (const auto& walk : walks) {
        MarkupDoc doc;
        doc.SetDocument(text);
        ASSERT_TRUE(doc.FindElement(u"r"));
        ASSERT_TRUE(doc.EnterElement());
        for (const auto& [name, id] : walk) {
            EXPECT_EQ(doc.FindElement(name), !id.empty()) << Narrow(name);
            if (!id.empty()) {
                EXPECT_EQ(doc.GetAttribute(u"id"), id) << Narrow(name);
            }
        }
    }
}

TEST(Navigation, EmptyDocumentsFindNothing) {
    for (const char16_t* text : {static_cast<const char16_t*>(nullptr), u"", u"no markup"}) {
        MarkupDoc doc;
        doc.SetDocument(text);
        EXPECT_FALSE(doc.FindElement(u""));
        EXPECT_FALSE(doc.EnterElement());
        EXPECT_EQ(doc.GetAttribute(u"a"), u"");
    }
}

TEST(Navigation, AttributeValues) {
    const struct {
        std::u16string tag;  // the root start tag
        std::u16string name;
        std::u16string value;
    } cases[] = {
        {u"<a x=\"1\" y='2' z=3>", u"y", u"2"},
        {u"<a x = \"1\" >", u"x", u"1"},
        {u"<a URL='u'>", u"url", u""},
        {u"<a url=''>", u"url", u""},
        {u"<a checked x='1'>", u"checked", u"checked"},  // no "=": the name itself
        {u"<a x='1' x='2'>", u"x", u"1"},
        {u"<a xy='1' x='2'>", u"x", u"2"},
        {u"<a x='it\"s'>", u"x", u"it\"s"},
        {u"<a x=>", u"x", u">"},
        {u"<a x=a=b>", u"x", u"a=b"},
        {u"<a x=abc/>", u"x", u"abc/"},  // an unquoted value keeps its "/"
        {u"<a y=x x='2'>", u"x", u"2"},  // values are not names
        {u"<a x='1'>", u"x[1]", u"1"},
        {u"<a x='1'>", u"", u""},
        {u"<a/ x='1'>", u"x", u""},  // "/" ends the tag for the attribute scan
        // Entities and character references.
        {u"<a v='&lt;&amp;&gt;&apos;&quot;'>", u"v", u"<&>'\""},
        {u"<a v='&#65;&#x41;&#x0x41;&#+65;'>", u"v", u"AAAA"},
        {u"<a v='&#65abc;'>", u"v", u"A"},
        {u"<a v='&#X41;'>", u"v", u"&#X41;"},
        {u"<a v='&#0;&#;&#x;'>", u"v", u"&#0;&#;&#x;"},
        {u"<a v='&#00000065;'>", u"v", u"&#00000065;"},  // eight units before the ";"
        {u"<a v='&#0000065;'>", u"v", u"A"},
        {u"<a v='&#x1F600;&#128512;'>", u"v", u"\U0001F600\U0001F600"},
        {u"<a v='&#x10FFFF;'>", u"v", u"\U0010FFFF"},
        {u"<a v='&#x110000;&#-65;&#4294967361;'>", u"v", u"&#x110000;&#-65;&#4294967361;"},
        {u"<a v='&lt&LT;&nbsp;&'>", u"v", u"&lt&LT;&nbsp;&"},
        {u"<a v='&#65' w=';'>", u"v", u"&#65"},  // the ";" must lie inside the value
        {u"<a v='&lt' w=';'>", u"v", u"&lt"},
        {u"<a v='\u4E2D&amp;\u6587'>", u"v", u"\u4E2D&\u6587"},
    };
    for (const auto& c : cases) {
        MarkupDoc doc;
        const std::u16string text = c.tag + u"</a>";
        ASSERT_TRUE(doc.SetDocument(text.c_str())) << Narrow(c.tag);
        ASSERT_TRUE(doc.FindElement(u"a"));
        EXPECT_EQ(Narrow(doc.GetAttribute(c.name)), Narrow(c.value)) << Narrow(c.tag);
    }
}

TEST(Navigation, AttributeScanStopsAtTheEndOfText) {
    // The scanner ends these start tags at the ">" inside the quote (a quote opens a value only
    // after "="), but the attribute scan reads the quoted token and runs on to the end of the
    // text, which must stop it.
    const struct {
        std::u16string text;
        std::u16string value;
    } cases[] = {
        {u"<a 'q>' x=", u""},
        {u"<a 'q>' x='abc", u"abc"},
        {u"<a 'q>' x", u"x"},
        {u"<a 'q>' x=\"&#65", u"&#65"},
    };
    for (const auto& c : cases) {
        MarkupDoc doc;
        doc.SetDocument(c.text.c_str());
        ASSERT_TRUE(doc.FindElement(u"a")) << Narrow(c.text);
        EXPECT_EQ(doc.GetAttribute(u"x"), c.value) << Narrow(c.text);
        EXPECT_EQ(doc.GetAttribute(u"y"), u"") << Narrow(c.text);
    }
}

}  // namespace
}  // namespace markup
