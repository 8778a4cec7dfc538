#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "markup/markup_doc.h"
#include "u16_text.h"

namespace markup {
namespace {

TEST(Navigation, FindAndEnterIncludingEmptyDocuments) {
    const char16_t* text =
        u"<r id='0'><item id='1'/><ITEM id='2'/><ite id='3'/><items id='4'/>< item id='5'/>"
        u"<item[2] id='6'/><x id='7'><y id='9'/></x><item id='8'/></r>";
    // Each walk starts at the children of "r"; ">" enters the current element, id "" means
    // that the search fails.
    const std::vector<std::vector<std::pair<std::u16string, std::u16string>>> walks = {
        {{u"item ", u"1"}, {u"", u"2"}, {u"item[2]", u"6"}, {u"item/x", u"8"}, {u"item", u""}},
        {{u"ite", u"3"}, {u"items", u"4"}, {u"", u"6"}, {u"ITEM", u""}},
        {{u"x", u"7"}, {u">", u""}, {u"", u"9"}, {u"y", u""}},
    };
    MarkupDoc doc;
    for (const auto& walk : walks) {
        // Every parse puts the cursor back at the start, where "item" is not to be found.
        doc.SetDocument(text);
        EXPECT_FALSE(doc.EnterElement() || doc.FindElement(u"item"));
        ASSERT_TRUE(doc.FindElement(u"r") && doc.EnterElement());
        std::u16string current;  // entering leaves no current element
        for (const auto& [name, id] : walk) {
            if (name == u">") {
                EXPECT_TRUE(doc.EnterElement());
                current.clear();
            } else {
                EXPECT_EQ(doc.FindElement(name), !id.empty()) << Narrow(name);
                if (!id.empty()) current = id;  // a failed search leaves the cursor
            }
            EXPECT_EQ(doc.GetAttribute(u"id"), current) << Narrow(name);
        }
    }
    for (const char16_t* empty : {static_cast<const char16_t*>(nullptr), u"", u"no markup"}) {
        doc.SetDocument(empty);
        EXPECT_FALSE(doc.FindElement(u"") || doc.EnterElement() || !doc.GetAttribute(u"").empty());
    }
}

TEST(Navigation, AttributeValues) {
    const struct {
        std::u16string text;
        std::u16string name;
        std::u16string value;
    } cases[] = {
        {u"<a x=\"1\" y='2' z=3>", u"y", u"2"},
        {u"<a x = \"1\" >", u"x", u"1"},
        {u"<a URL='u'>", u"url", u""},
        {u"<a checked x='1'>", u"checked", u"checked"},  // no "=": the name itself
        {u"<a y=x xy='0' x='1' x='2'>", u"x", u"1"},     // values are not names; the first counts
        {u"<a x=>", u"x", u">"},
        {u"<a x=abc/>", u"x", u"abc/"},  // an unquoted value keeps its "/"
        {u"<a x='1'>", u"x[1]", u"1"},
        {u"<a/ x='1'>", u"x", u""},  // "/" ends the tag for the attribute scan
        // Entities and character references.
        {u"<a v='&lt;&amp;&gt;&apos;&quot;'>", u"v", u"<&>'\""},
        {u"<a v='&#65;&#x41;&#x0x41;&#+65;&#65abc;'>", u"v", u"AAAAA"},
        {u"<a v='&#x1F600;&#1114111;&#0000065;'>", u"v", u"\U0001F600\U0010FFFFA"},
        // Kept as they stand; eight digits are too many.
        {u"<a v='&#X41;&#0;&#;&#x;&#x110000;&#-65;&#4294967361;&lt&LT;&nbsp;&&#00000065;'>", u"v",
         u"&#X41;&#0;&#;&#x;&#x110000;&#-65;&#4294967361;&lt&LT;&nbsp;&&#00000065;"},
        {u"<a v='&lt&#65' w=';'>", u"v", u"&lt&#65"},  // the ";" must lie inside the value
        // The scanner ends these start tags at the ">" inside the quote (a quote opens a value
        // only after "="), but the attribute scan reads the quoted token and runs on to the end
        // of the text, which must stop it.
        {u"<a 'q>' x=", u"x", u""},
        {u"<a 'q>' x='abc", u"x", u"abc"},
        {u"<a 'q>' x", u"x", u"x"},
        {u"<a 'q>' x=\"&#65", u"x", u"&#65"},
        {u"<a 'q>' x='1", u"y", u""},
    };
    for (const auto& c : cases) {
        MarkupDoc doc;
        doc.SetDocument(c.text.c_str());
        ASSERT_TRUE(doc.FindElement(u"a")) << Narrow(c.text);
        EXPECT_EQ(Narrow(doc.GetAttribute(c.name)), Narrow(c.value)) << Narrow(c.text);
    }
}

}  // namespace
}  // namespace markup
