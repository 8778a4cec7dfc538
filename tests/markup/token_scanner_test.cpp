#include "markup/token_scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "markup/token_scanner_stepwise.h"
#include "u16_text.h"

namespace markup {
namespace {

struct Tok {
    NodeType type;
    int32_t length;
    bool empty;
    std::u16string name;  // start-tag name, instruction target or message; "" = not checked
};

std::vector<Tok> ScanAll(const std::u16string& text) {
    TokenPos cursor;
    cursor.text = text.c_str();
    std::vector<Tok> tokens;
    for (int32_t expectedStart = 0;;) {
        NodeToken token;
        const NodeType type = ScanToken(cursor, token);
        if (type == NodeEndOfText) {
            EXPECT_EQ(cursor.pos, static_cast<int32_t>(text.size()));
            return tokens;
        }
        EXPECT_EQ(token.start, expectedStart) << Narrow(text);
        expectedStart += token.length;
        const bool named =
            type == NodeElement || type == NodeError || type == NodeProcessingInstruction;
        tokens.push_back(
            {type, token.length, (token.flags & FlagEmptyElement) != 0, named ? token.name : u""});
    }
}

TEST(TokenScanner, KindsLengthsNamesAndMessages) {
    const struct {
        std::u16string text;
        std::vector<Tok> tokens;
    } cases[] = {
        {u"<a/>", {{NodeElement, 4, true, u"a"}}},
        {u"<abc d='1' e=\"2\">", {{NodeElement, 17, false, u"abc"}}},
        // "/" only makes an empty element after a quote, whitespace or the name itself.
        {u"<a b=c/>", {{NodeElement, 8, false, u"a"}}},
        {u"<a b='c'/>", {{NodeElement, 10, true, u"a"}}},
        {u"<a />", {{NodeElement, 5, true, u"a"}}},
        {u"<a b/>", {{NodeElement, 6, false, u"a"}}},
        // Quotes open a value only after "=".
        {u"<a x='>'/>", {{NodeElement, 10, true, u"a"}}},
        {u"<a 'b>'/>", {{NodeElement, 6, false, u"a"}, {NodeText, 3, false, u""}}},
        {u"<a x==\">\">", {{NodeElement, 8, false, u"a"}, {NodeText, 2, false, u""}}},
        {u"<a x= \"<>\">", {{NodeElement, 11, false, u"a"}}},
        {u"<\u4E2D\u6587 a=1>", {{NodeElement, 8, false, u"\u4E2D\u6587"}}},
        {u"</a >", {{NodeEndTag, 5, false, u""}}},
        {u"a>b", {{NodeText, 2, false, u""}, {NodeText, 1, false, u""}}},
        {u"  <a/>", {{NodeWhitespace, 2, false, u""}, {NodeElement, 4, true, u"a"}}},
        {u" x<a/>", {{NodeText, 2, false, u""}, {NodeElement, 4, true, u"a"}}},
        {u" >x<a/>", {{NodeText, 3, false, u""}, {NodeElement, 4, true, u"a"}}},
        {u"<!-->", {{NodeComment, 5, false, u""}}},
        {u"<!-- a -- > b -->x", {{NodeComment, 17, false, u""}, {NodeText, 1, false, u""}}},
        {u"<![Cxyz]]>", {{NodeCData, 10, false, u""}}},
        {u"<![CDATA[<a>]>]]>", {{NodeCData, 17, false, u""}}},
        {u"<!ELEMENT x>", {{NodeDocType, 12, false, u""}}},
        {u"<!ATTLIST x y '>'>", {{NodeDocType, 18, false, u""}}},
        {u"<!DOCTYPE r [<!ENTITY e 'x>y'>]>", {{NodeDocType, 32, false, u""}}},
        {u"<!DOCTYPE r [<!-- ] > --><?p >?>]><r/>",
         {{NodeDocType, 34, false, u""}, {NodeElement, 4, true, u"r"}}},
        // An incorrect declaration inside a document type is not reported.
        {u"<!DOCTYPE r [<!x>]>", {{NodeDocType, 19, false, u""}}},
        {u"<?xml version='1.0'?>", {{NodeProcessingInstruction, 21, false, u"xml"}}},
        {u"<r><?></r>",
         {{NodeElement, 3, false, u"r"},
          {NodeProcessingInstruction, 3, false, u""},
          {NodeEndTag, 4, false, u""}}},
        // At offset 0 the ">" of "<?>" is too close to count as the end of "?>".
        {u"<?>x?>", {{NodeProcessingInstruction, 6, false, u""}}},
        {u"< a>", {{NodeError, 4, false, u"Incorrect tag name character at offset 0"}}},
        {u"< a<b/>",
         {{NodeError, 3, false, u"Incorrect tag name character at offset 0"},
          {NodeElement, 4, true, u"b"}}},
        // An error token ends before any "<", even inside a quoted value.
        {u"x<=a='<'>",
         {{NodeText, 1, false, u""},
          {NodeError, 5, false, u"Incorrect tag name character at offset 1"},
          {NodeError, 3, false, u"Incorrect tag name character at offset 6"}}},
        {u"<!x>", {{NodeError, 4, false, u"Incorrect ! tag at offset 0"}}},
        {u"<!-x>", {{NodeError, 5, false, u"Incorrect comment tag at offset 0"}}},
        {u"<![x>", {{NodeError, 5, false, u"Incorrect tag at offset 0"}}},
        {u"<a", {{NodeError, 2, false, u"Element tag at offset 0 unterminated"}}},
        {u"<a x='>", {{NodeError, 7, false, u"Element tag at offset 0 unterminated"}}},
        {u"</a", {{NodeError, 3, false, u"Element end tag at offset 0 unterminated"}}},
        {u"<!-- x", {{NodeError, 6, false, u"Comment at offset 0 unterminated"}}},
        {u"<![CDATA[x]>", {{NodeError, 12, false, u"CDATA Section at offset 0 unterminated"}}},
        {u"<?p x", {{NodeError, 5, false, u"Processing instruction at offset 0 unterminated"}}},
        {u"<!DOCTYPE x", {{NodeError, 11, false, u"Doctype at offset 0 unterminated"}}},
        {u"<!DOCTYPE x [<!ENTITY a 'b>]>",
         {{NodeError, 29, false, u"Doctype at offset 0 unterminated"}}},
        {u"ab<",
         {{NodeText, 2, false, u""}, {NodeError, 1, false, u"tag at offset 2 unterminated"}}},
        {u"<!-", {{NodeError, 3, false, u"tag at offset 0 unterminated"}}},
        {u"<!x", {{NodeError, 3, false, u"tag at offset 0 unterminated"}}},
        {u"text \t\r\n", {{NodeText, 8, false, u""}}},
        {u" \t\r\n", {{NodeWhitespace, 4, false, u""}}},
    };
    for (const auto& c : cases) {
        const std::vector<Tok> got = ScanAll(c.text);
        ASSERT_EQ(got.size(), c.tokens.size()) << Narrow(c.text);
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].type, c.tokens[i].type) << Narrow(c.text) << " token " << i;
            EXPECT_EQ(got[i].length, c.tokens[i].length) << Narrow(c.text) << " token " << i;
            EXPECT_EQ(got[i].empty, c.tokens[i].empty) << Narrow(c.text) << " token " << i;
            if (!c.tokens[i].name.empty()) {
                EXPECT_EQ(Narrow(got[i].name), Narrow(c.tokens[i].name)) << Narrow(c.text);
            }
        }
    }
}

TEST(TokenScanner, EndTagNameStaysInTheCursor) {
    const struct {
        std::u16string text;
        int32_t nameStart, nameEnd;
        std::u16string name;
    } cases[] = {
        {u"</a >", 2, 2, u"a"},
        {u"</>", 2, 1, u""},
        {u"xy</ab/>", 4, 5, u"ab"},
    };
    for (const auto& c : cases) {
        TokenPos cursor;
        cursor.text = c.text.c_str();
        NodeToken token;
        while (ScanToken(cursor, token) != NodeEndTag) {
        }
        EXPECT_EQ(cursor.nameStart, c.nameStart) << Narrow(c.text);
        EXPECT_EQ(cursor.nameEnd, c.nameEnd) << Narrow(c.text);
        EXPECT_EQ(EndTagName(cursor), c.name) << Narrow(c.text);
    }
}

TEST(TokenScanner, EndOfTextDoesNotMove) {
    const std::u16string text = u"<a/>";
    TokenPos cursor;
    cursor.text = text.c_str();
    NodeToken token;
    ScanToken(cursor, token);
    EXPECT_EQ(ScanToken(cursor, token), NodeEndOfText);
    EXPECT_EQ(ScanToken(cursor, token), NodeEndOfText);
    EXPECT_EQ(cursor.pos, 4);
    EXPECT_EQ(token.length, 0);
}

// The fast paths of ScanToken must agree with the unit-by-unit machine on every input,
// including the odd ones that only random markup-heavy text reaches.
TEST(TokenScanner, AgreesWithStepwiseMachine) {
    std::mt19937 random(20261206);
    const std::u16string alphabet = u"<>/!?-[]CDEANax =\"' \n\u4E2D";
    for (int round = 0; round < 300000; ++round) {
        std::u16string text;
        const size_t length = random() % 16;
        for (size_t i = 0; i < length; ++i) text.push_back(alphabet[random() % alphabet.size()]);
        TokenPos fast, slow;
        fast.text = slow.text = text.c_str();
        NodeToken a, b;
        for (;;) {
            const NodeType type = ScanToken(fast, a);
            ASSERT_EQ(type, ScanTokenStepwise(slow, b)) << Narrow(text);
            ASSERT_EQ(fast.pos, slow.pos) << Narrow(text);
            ASSERT_EQ(a.length, b.length) << Narrow(text);
            ASSERT_EQ(a.flags, b.flags) << Narrow(text);
            ASSERT_EQ(a.name, b.name) << Narrow(text);
            ASSERT_EQ(fast.nameStart, slow.nameStart) << Narrow(text);
            ASSERT_EQ(fast.nameEnd, slow.nameEnd) << Narrow(text);
            if (type == NodeEndOfText) break;
        }
    }
}

}  // namespace
}  // namespace markup
