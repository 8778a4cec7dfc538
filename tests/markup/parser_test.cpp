#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "markup/markup_doc.h"
#include "u16_text.h"

namespace markup {
namespace {

TEST(Parser, StatusAndOffset) {
    using enum Status;
    const struct {
        std::u16string text;
        Status status = Ok;
        int32_t offset = 0;
        int32_t startOffset = 0;
    } cases[] = {
        {u"", EmptyDocument},
        {u"<r><a><b/></r>", EndTagMismatch, 10, 3},
        {u"<a/><b/>", RootHasSibling, 4},
        {u"<A></a>", NoStartTag, 3},
        {u"<a[1]></a>"},
        {u"<ab></a>", NoStartTag, 4},
        {u"\uFEFF<?xml version='1.0'?>\n<!DOCTYPE r [<!ENTITY e 'x>y'>]><!-- c -->\n"
         u"<r><![CDATA[x]]><?p?>\n</r>\n"},
        {u"<r><!x></r>", BadBangTag, 3},  // the scanner's faults, at their token
        {u"<a", NoRootElement},
        {u"<r>text", ElementNotEnded, 0},
        // Only the first fault survives.
        {u"<r></x></y>< a></r>", NoStartTag, 3},
    };
    // One document for all, so that each parse must clear what the one before left; the
    // handed-over form must end at its first zero unit like the zero-terminated one.
    MarkupDoc doc, handedOver;
    for (const auto& c : cases) {
        EXPECT_EQ(doc.SetDocument(c.text.c_str()), c.status == Ok) << Narrow(c.text);
        const ParseResult& r = doc.Result();
        EXPECT_EQ(std::tuple(r.status, r.offset, r.startOffset, r.bytes, r.units),
                  std::tuple(c.status, c.offset, c.startOffset, -1, int64_t(c.text.size())))
            << Narrow(c.text);
        EXPECT_EQ(handedOver.SetDocument(c.text + std::u16string(u"\0<x/>", 5)), c.status == Ok);
        EXPECT_EQ(handedOver.DocText(), c.text);
        EXPECT_EQ(handedOver.Result().status, c.status);
    }
    EXPECT_FALSE(doc.SetDocument(nullptr));
    EXPECT_EQ(doc.Result().status, EmptyDocument);
    EXPECT_EQ(doc.ElemUsed(), 1);
    EXPECT_EQ(doc.ElemAt(0).firstChild, 0);
}

// The log's words: the load line, then the fault with the names quoted from the text.
TEST(Parser, Describe) {
    using enum Status;
    const std::u16string text = u"<r><a></r> <b x/>";
    const struct {
        ParseResult result;
        std::u16string_view text;
        std::string words;
    } cases[] = {
        {{.bytes = 17, .units = 17}, {}, "17 bytes to 17 wide chars"},
        {{EndTagMismatch, 6, 3, 20, 17},
         text,
         "20 bytes to 17 wide chars, End tag 'r' at offset 6 does not match start tag 'a' at "
         "offset 3"},
        {{ElementNotEnded, 11}, {}, "Element at offset 11 not ended"},
        {{.status = FileUnreadable, .systemError = ENOENT}, {}, "No such file or directory"},
    };
    for (const auto& c : cases) EXPECT_EQ(Narrow(c.result.Describe(c.text)), c.words);
}

// Entries as start, length, start-tag length, end-tag length, level, flags, parent,
// firstChild, next, prev.
using Entry = std::array<int64_t, 10>;

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
    const int64_t F = FlagFirst, N = FlagNotEnded, E = FlagHasError;
    const struct {
        std::u16string text;
        std::vector<Entry> entries;
        uint32_t documentFlags;
    } cases[] = {
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
        // An end tag with no element open marks the document entry itself.
        {u"<a/></a>", {{0, 4, 4, 0, 0, F, 0, 0, 0, 1}}, FlagIllFormed | FlagHasError},
    };
    for (const auto& c : cases) {
        MarkupDoc doc;
        doc.SetDocument(c.text.c_str());
        EXPECT_EQ(Table(doc), c.entries) << Narrow(c.text);
        EXPECT_EQ(doc.ElemAt(0).flagsLevel, c.documentFlags) << Narrow(c.text);
    }
}

// Counts the sibling list under parent by next links; -1 unless each member names the parent,
// points back by prev, and the first child's prev closes the list at the last one.
int32_t LinkedChildren(const MarkupDoc& doc, int32_t parent) {
    const int32_t first = doc.ElemAt(parent).firstChild;
    int32_t count = 0, last = 0;
    for (int32_t i = first; i != 0; last = i, i = doc.ElemAt(i).next, ++count) {
        if (doc.ElemAt(i).parent != parent || (last != 0 && doc.ElemAt(i).prev != last)) return -1;
    }
    return doc.ElemAt(first).prev == last ? count : -1;
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
    EXPECT_EQ(LinkedChildren(doc, 0), 2 * kDepth);
    // The table spans segments of 65536 entries: those either side of a border read right.
    EXPECT_EQ(doc.ElemAt(65535).start, 7 * 32767);
    EXPECT_EQ(doc.ElemAt(65536).start, 7 * 32767 + 3);
    EXPECT_EQ(doc.ElemAt(2 * kDepth - 1).Level(), static_cast<uint32_t>(kDepth - 1) & 0xFFFF);
    EXPECT_EQ(doc.Result().status, Status::RootHasSibling);
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
    EXPECT_EQ(std::pair(doc.Result().status, doc.Result().offset),
              std::pair(Status::NoStartTag, 3 + 6 * kDepth));
    // From the innermost out: </a>, </a[1>, then </a[1]> after </a[> failed; the next is not
    // ended. The innermost keeps the error of the unmatched "</b>"s, its grandparent that of
    // "</a[>".
    const int in = kDepth + 1;
    EXPECT_EQ(
        (std::vector<uint32_t>{doc.ElemAt(in).EndTagLength(), doc.ElemAt(in - 1).EndTagLength(),
                               doc.ElemAt(in - 2).EndTagLength()}),
        (std::vector<uint32_t>{4, 6, 7}));
    EXPECT_TRUE(doc.ElemAt(in).flagsLevel & doc.ElemAt(in - 2).flagsLevel & FlagHasError);
    EXPECT_TRUE(doc.ElemAt(in - 3).flagsLevel & FlagNotEnded);
    EXPECT_EQ(doc.ElemAt(1).EndTagLength(), 4u);  // </r>
    EXPECT_EQ(doc.ElemAt(1).length, static_cast<int32_t>(text.size()));
}

// Once the open names are indexed, each start tag costs time linear in its length: a long
// name full of "=", each of whose prefixes an end tag could close, must not make the parse
// quadratic (a megabyte took minutes).
TEST(Parser, LongNamesStayLinearOnceOpenNamesAreIndexed) {
    const std::u16string stem = u"<" + std::u16string(400000, u'=').replace(0, 1, u"x");
    std::u16string text = u"<r>";
    for (int i = 0; i < 1000; ++i) text += u"<a>";
    for (int i = 0; i < 1001; ++i) text += u"</b>";
    for (int i = 0; i < 4; ++i) text += stem + u">";
    text += u"</r>";
    MarkupDoc doc;
    EXPECT_FALSE(doc.SetDocument(text.c_str()));
    EXPECT_EQ(std::pair(doc.Result().status, doc.Result().offset),
              std::pair(Status::NoStartTag, 3003));
    EXPECT_EQ(doc.ElemUsed(), 1006);
}

}  // namespace
}  // namespace markup
