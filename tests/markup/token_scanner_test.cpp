#include "markup/token_scanner.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "markup/token_scanner_stepwise.h"
#include "u16_text.h"

namespace markup {
namespace {

// Each token as "<kind> <length>[/][ <name>]", "/" for an empty element; the name is the
// start-tag or end-tag name, instruction target or the description of an error.
std::vector<std::string> ScanAll(const std::u16string& text) {
    static const std::map<NodeType, std::string> kKinds = {
        {NodeEndTag, "end"},    {NodeElement, "el"}, {NodeText, "tx"},
        {NodeWhitespace, "ws"}, {NodeCData, "cd"},   {NodeProcessingInstruction, "pi"},
        {NodeComment, "cm"},    {NodeDocType, "dt"}, {NodeError, "er"}};
    TokenPos cursor;
    cursor.text = text.c_str();
    std::vector<std::string> tokens;
    NodeToken token;
    for (int32_t start = 0; ScanToken(cursor, token) != NodeEndOfText; start += token.length) {
        EXPECT_EQ(token.start, start) << Narrow(text);
        std::string& t =
            tokens.emplace_back(kKinds.at(token.type) + " " + std::to_string(token.length));
        if (token.flags & FlagEmptyElement) t += "/";
        if (token.type == NodeEndTag) t += " " + Narrow(EndTagName(cursor));
        if (token.type == NodeElement || token.type == NodeProcessingInstruction) {
            t += " " + Narrow(token.name);
        }
        if (token.type == NodeError) {
            EXPECT_NE(token.error, Status::Ok);
            t += " " + Narrow(ParseResult{token.error, token.start}.Describe());
        }
    }
    // The end stays put however often it is asked for.
    EXPECT_EQ(ScanToken(cursor, token), NodeEndOfText);
    EXPECT_EQ(cursor.pos, static_cast<int32_t>(text.size())) << Narrow(text);
    return tokens;
}

TEST(TokenScanner, KindsLengthsNamesAndMessages) {
    const struct {
        std::u16string text;
        std::vector<std::string> tokens;
    } cases[] = {
        // "/" only makes an empty element after a quote, whitespace or the name itself.
        {u"<a/><a b=c/><a b='c'/><a />", {"el 4/ a", "el 8 a", "el 10/ a", "el 5/ a"}},
        // Quotes open a value only after "=", whitespace between them allowed.
        {u"<a 'b>'/><a x= \"<>\">", {"el 6 a", "tx 3", "el 11 a"}},
        {u"<\u4E2D\u6587 a=1></a ></>xy</ab/>",
         {"el 8 \\u4E2D\\u6587", "end 5 a", "end 3 ", "tx 2", "end 6 ab"}},
        {u"a>b x<a/> \t\r\n", {"tx 2", "tx 3", "el 4/ a", "ws 4"}},
        {u"<!--><!-- a -- > b -->x<![Cx<a>]>]]>", {"cm 5", "cm 17", "tx 1", "cd 13"}},
        // An incorrect declaration inside a document type is not reported.
        {u"<!ATTLIST x y '>'><!DOCTYPE r [<!x><!-- ] > --><?p >?>]><r/>",
         {"dt 18", "dt 38", "el 4/ r"}},
        {u"<?xml version='1.0'?><r><?></r>", {"pi 21 xml", "el 3 r", "pi 3 ", "end 4 r"}},
        // At offset 0 the ">" of "<?>" is too close to count as the end of "?>".
        {u"<?>x?>", {"pi 6 "}},
        // An error token ends before any "<", even inside a quoted value.
        {u"x<=a='<'><!x><!-x><![x>",
         {"tx 1", "er 5 Incorrect tag name character at offset 1",
          "er 3 Incorrect tag name character at offset 6", "er 4 Incorrect ! tag at offset 9",
          "er 5 Incorrect comment tag at offset 13", "er 5 Incorrect tag at offset 18"}},
        {u"<a x='>", {"er 7 Element tag at offset 0 unterminated"}},
        {u"</a", {"er 3 Element end tag at offset 0 unterminated"}},
        {u"<![CDATA[x]>", {"er 12 CDATA Section at offset 0 unterminated"}},
        {u"<?p x", {"er 5 Processing instruction at offset 0 unterminated"}},
        {u"<!-- x", {"er 6 Comment at offset 0 unterminated"}},
        {u"<!DOCTYPE x [<!ENTITY a 'b>]>", {"er 29 Doctype at offset 0 unterminated"}},
        {u"ab<", {"tx 2", "er 1 tag at offset 2 unterminated"}},
        {u"<!-", {"er 3 tag at offset 0 unterminated"}},
    };
    for (const auto& c : cases) EXPECT_EQ(ScanAll(c.text), c.tokens) << Narrow(c.text);
}

// The fast paths of ScanToken must agree with the unit-by-unit machine on every input,
// including the odd ones that only random markup-heavy text reaches.
TEST(TokenScanner, AgreesWithStepwiseMachine) {
    std::mt19937 random(20261206);
    const std::u16string alphabet = u"<>/!?-[]CDEANax =\"' \n\u4E2D";
    for (int round = 0; round < 300000; ++round) {
        std::u16string text(random() % 16, u' ');
        for (char16_t& c : text) c = alphabet[random() % alphabet.size()];
        TokenPos fast, slow;
        fast.text = slow.text = text.c_str();
        NodeToken a, b;
        for (NodeType type = NodeError; type != NodeEndOfText;) {
            type = ScanToken(fast, a);
            ASSERT_TRUE(type == ScanTokenStepwise(slow, b) && fast.pos == slow.pos &&
                        a.length == b.length && a.flags == b.flags && a.name == b.name &&
                        fast.nameStart == slow.nameStart && fast.nameEnd == slow.nameEnd &&
                        (type != NodeError || a.error == b.error))
                << Narrow(text);
        }
    }
}

}  // namespace
}  // namespace markup
