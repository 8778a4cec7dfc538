#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "markup/markup_doc.h"
#include "u16_text.h"

namespace markup {
namespace {

TEST(Parser, VerdictAndResultText) {
    const struct {
        std::u16string text;
        bool wellFormed;
        std::u16string result;
    } cases[] = {
        {u"", false, u"Empty document"},
        {u"<a/>", true, u""},
        {u"<r><a x='1'>t</a><b/></r>", true, u""},
        {u"<a b=c/>", false, u"Element 'a' at offset 0 not ended"},
        {u"<a b/>", false, u"Element 'a' at offset 0 not ended"},
        {u"<a></b></a>", false, u"No start tag for end tag 'b' at offset 3"},
        {u"<r><a><b/></r>", false,
         u"End tag 'r' at offset 11 does not match start tag 'a' at offset 3"},
        {u"<r><a><b></r>", false,
         u"End tag 'r' at offset 10 does not match start tag 'b' at offset 6"},
        {u"<a><b/>", false, u"Root element has sibling"},
        {u"<a/><b/>", false, u"Root element has sibling"},
        {u"</a>", false, u"No root element"},
        {u"just text", false, u"No root element"},
        {u"<A></a>", false, u"No start tag for end tag 'a' at offset 3"},
        {u"<a[1]></a>", true, u""},
        {u"<a=x></a>", true, u""},
        {u"<ab></a>", false, u"No start tag for end tag 'a' at offset 4"},
        {u"<!-- c --><r><![CDATA[x]]><?p?></r>", true, u""},
        {u"\uFEFF<?xml version='1.0'?>\n<r>\n</r>\n", true, u""},
        {u"<!DOCTYPE r [<!ENTITY e 'x>y'>]><r/>", true, u""},
        {u"<r>< a></r>", false, u"Incorrect tag name character at offset 3"},
        {u"<r><!x></r>", false, u"Incorrect ! tag at offset 3"},
        {u"<r><!-x></r>", false, u"Incorrect comment tag at offset 3"},
        {u"<r><![x></r>", false, u"Incorrect tag at offset 3"},
        {u"< a>", false, u"No root element"},
        {u"<a", false, u"No root element"},
        {u"<r><!-- x", false, u"Comment at offset 3 unterminated"},
        {u"<r>text", false, u"Element 'r' at offset 0 not ended"},
        // Only the first error survives.
        {u"<r></x></y>< a></r>", false, u"No start tag for end tag 'x' at offset 3"},
    };
    for (const auto& c : cases) {
        MarkupDoc doc;
        EXPECT_EQ(doc.SetDocument(c.text.c_str()), c.wellFormed) << Narrow(c.text);
        EXPECT_EQ(Narrow(doc.ResultText()), Narrow(c.result)) << Narrow(c.text);
    }
}

TEST(Parser, NewAndNullDocumentsAreEmpty) {
    MarkupDoc doc;
    EXPECT_EQ(doc.ResultText(), u"Empty document");
    EXPECT_EQ(doc.ElemUsed(), 1);
    ASSERT_TRUE(doc.SetDocument(u"<a/>"));
    EXPECT_FALSE(doc.SetDocument(nullptr));
    EXPECT_EQ(doc.ResultText(), u"Empty document");
    EXPECT_EQ(doc.ElemUsed(), 1);
    EXPECT_EQ(doc.ElemAt(0).firstChild, 0);
}

TEST(Parser, HandedOverTextParsesLikeACopiedOne) {
    const std::u16string text = u"<r><a x='1'/><b>t</b></r>";
    MarkupDoc copied, handedOver;
    ASSERT_TRUE(copied.SetDocument(text.c_str()));
    ASSERT_TRUE(handedOver.SetDocument(std::u16string(text)));
    EXPECT_EQ(handedOver.ElemUsed(), copied.ElemUsed());
    for (int i = 0; i < copied.ElemUsed(); ++i) {
        EXPECT_EQ(handedOver.ElemAt(i).start, copied.ElemAt(i).start);
        EXPECT_EQ(handedOver.ElemAt(i).length, copied.ElemAt(i).length);
    }
    // Like the zero-terminated form, the text ends at its first zero unit.
    ASSERT_TRUE(handedOver.SetDocument(std::u16string(u"<a/>\0<b/>", 9)));
    EXPECT_EQ(handedOver.DocText(), u"<a/>");
}

// Entries as tuples: start, length, start-tag length, end-tag length, level, flags, parent,
// firstChild, next, prev.
struct Entry {
    int32_t start, length;
    uint32_t startTag, endTag, level, flags;
    int32_t parent, firstChild, next, prev;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> Table(const MarkupDoc& doc) {
    std::vector<Entry> entries;
    for (int i = 1; i < doc.ElemUsed(); ++i) {
        const ElemPos& e = doc.ElemAt(i);
        entries.push_back({e.start, e.length, e.StartTagLength(), e.EndTagLength(), e.Level(),
                           e.flagsLevel & ~0xFFFFu, e.parent, e.firstChild, e.next, e.prev});
    }
    return entries;
}

TEST(Parser, TableEntriesAndRecovery) {
    const uint32_t F = FlagFirst, N = FlagNotEnded, E = FlagHasError;
    const struct {
        std::u16string text;
        std::vector<Entry> entries;
        uint32_t documentFlags;
    } cases[] = {
        {u"<a/>", {{0, 4, 4, 0, 0, F, 0, 0, 0, 1}}, 0},
        {u"<r><a x='1'>t</a><b/></r>",
         {{0, 25, 3, 4, 0, F, 0, 2, 0, 1},
          {3, 14, 9, 4, 1, F, 1, 0, 3, 3},
          {17, 4, 4, 0, 1, 0, 1, 0, 0, 2}},
         0},
        // "a" is closed without its end tag; its child "b" follows it as a child of "r".
        {u"<r><a><b/></r>",
         {{0, 14, 3, 4, 0, F, 0, 2, 0, 1},
          {3, 3, 3, 0, 1, F | N, 1, 0, 3, 3},
          {6, 4, 4, 0, 2, F, 1, 0, 0, 2}},
         FlagIllFormed},
        // The error inside "a" moves to "r" when "a" is closed as not ended.
        {u"<r><a></x></r>",
         {{0, 14, 3, 4, 0, F | E, 0, 2, 0, 1}, {3, 3, 3, 0, 1, F | N, 1, 0, 0, 2}},
         FlagIllFormed},
        {u"<a><b/>",
         {{0, 3, 3, 0, 0, F | N, 0, 0, 2, 2}, {3, 4, 4, 0, 1, F, 0, 0, 0, 1}},
         FlagIllFormed},
        {u"<a></b></a>", {{0, 11, 3, 4, 0, F | E, 0, 0, 0, 1}}, FlagIllFormed},
        // An end tag with no element open marks the document entry itself.
        {u"<a/></a>", {{0, 4, 4, 0, 0, F, 0, 0, 0, 1}}, FlagIllFormed | FlagHasError},
    };
    for (const auto& c : cases) {
        MarkupDoc doc;
        doc.SetDocument(c.text.c_str());
        EXPECT_EQ(Table(doc), c.entries) << Narrow(c.text);
        const ElemPos& document = doc.ElemAt(0);
        EXPECT_EQ(document.flagsLevel, c.documentFlags) << Narrow(c.text);
        EXPECT_EQ(document.length, static_cast<int32_t>(c.text.size()));
        EXPECT_EQ(document.firstChild, 1);
    }
}

// Walks the sibling list from the first child by next links and checks that it is closed
// through prev of the first child and that every member names the right parent.
void ExpectWellLinked(const MarkupDoc& doc, int32_t parent, int32_t count) {
    const int32_t first = doc.ElemAt(parent).firstChild;
    int32_t seen = 0, last = 0;
    for (int32_t i = first; i != 0; i = doc.ElemAt(i).next) {
        ASSERT_EQ(doc.ElemAt(i).parent, parent);
        if (last != 0) {
            ASSERT_EQ(doc.ElemAt(i).prev, last);
        }
        last = i;
        ++seen;
    }
    EXPECT_EQ(seen, count);
    EXPECT_EQ(doc.ElemAt(first).prev, last);
}

TEST(Parser, TableSpansSegments) {
    const int kChildren = 140000;  // three segments of 65536 entries
    std::u16string text = u"<r>";
    for (int i = 0; i < kChildren; ++i) text += u"<e/>";
    text += u"</r>";
    MarkupDoc doc;
    ASSERT_TRUE(doc.SetDocument(text.c_str()));
    ASSERT_EQ(doc.ElemUsed(), kChildren + 2);
    EXPECT_EQ(doc.ElemAt(65535).start, 3 + 4 * 65533);
    EXPECT_EQ(doc.ElemAt(65536).start, 3 + 4 * 65534);
    EXPECT_EQ(doc.ElemAt(65536).prev, 65535);
    EXPECT_EQ(doc.ElemAt(kChildren + 1).start, 3 + 4 * (kChildren - 1));
    ExpectWellLinked(doc, 1, kChildren);

    // A later, smaller document reuses the table from its start.
    ASSERT_TRUE(doc.SetDocument(u"<x><y/></x>"));
    EXPECT_EQ(doc.ElemUsed(), 3);
    EXPECT_EQ(doc.ElemAt(2).parent, 1);
}

// Recovery from many unended elements must stay linear: each closing moves all children so
// far up one level. The level keeps its low 16 bits.
TEST(Parser, DeepNestingAndMassRecovery) {
    const int kDepth = 100000;
    std::u16string text;
    for (int i = 0; i < kDepth; ++i) text += u"<d><s/>";
    MarkupDoc doc;
    EXPECT_FALSE(doc.SetDocument(text.c_str()));
    // Every "d" is closed as not ended, so all entries end up as siblings at the top.
    EXPECT_EQ(doc.ElemUsed(), 2 * kDepth + 1);
    ExpectWellLinked(doc, 0, 2 * kDepth);
    EXPECT_EQ(doc.ElemAt(2 * kDepth - 1).Level(), static_cast<uint32_t>(kDepth - 1) & 0xFFFF);
    EXPECT_EQ(Narrow(doc.ResultText()), "Root element has sibling");

    text.clear();
    for (int i = 0; i < kDepth; ++i) text += u"<d>";
    for (int i = 0; i < kDepth; ++i) text += u"</d>";
    ASSERT_TRUE(doc.SetDocument(text.c_str()));
    EXPECT_EQ(doc.ElemAt(kDepth).Level(), static_cast<uint32_t>(kDepth - 1) & 0xFFFF);
    EXPECT_EQ(doc.ElemAt(kDepth).length, 7);
    EXPECT_EQ(doc.ElemAt(1).length, 7 * kDepth);
}

// End tags that close nothing, met deep inside open elements, must not cost a walk over all
// of them each; matching by name prefix must still work afterwards.
TEST(Parser, ManyUnmatchedEndTagsInDeepNesting) {
    const int kDepth = 200000;
    std::u16string text = u"<r>";
    for (int i = 0; i < kDepth; ++i) text += u"<a[1]>";
    for (int i = 0; i < kDepth; ++i) text += u"</b>";
    text += u"</a></a[1></a[></a[1]></r>";
    MarkupDoc doc;
    EXPECT_FALSE(doc.SetDocument(text.c_str()));
    EXPECT_EQ(Narrow(doc.ResultText()),
              "No start tag for end tag 'b' at offset " + std::to_string(3 + 6 * kDepth));
    const int innermost = kDepth + 1;
    EXPECT_EQ(doc.ElemAt(innermost).EndTagLength(), 4u);  // </a>
    EXPECT_NE(doc.ElemAt(innermost).flagsLevel & FlagHasError, 0u);
    EXPECT_EQ(doc.ElemAt(innermost - 1).EndTagLength(), 6u);  // </a[1>
    EXPECT_EQ(doc.ElemAt(innermost - 2).EndTagLength(), 7u);  // </a[1]>, after </a[> failed
    EXPECT_NE(doc.ElemAt(innermost - 2).flagsLevel & FlagHasError, 0u);
    EXPECT_NE(doc.ElemAt(innermost - 3).flagsLevel & FlagNotEnded, 0u);
    EXPECT_EQ(doc.ElemAt(1).EndTagLength(), 4u);  // </r>
    EXPECT_EQ(doc.ElemAt(1).length, static_cast<int32_t>(text.size()));
}

}  // namespace
}  // namespace markup
