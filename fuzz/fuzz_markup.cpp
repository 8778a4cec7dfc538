// Arbitrary bytes through the file loader's UTF-8 conversion and the parser, once; then every
// element is checked and has its attributes read, and the cursor walks the table. The fast
// scanner is also held against the unit-by-unit one on the same text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "markup/attribute_value.h"
#include "markup/markup_doc.h"
#include "markup/token_scanner.h"
#include "markup/token_scanner_stepwise.h"
#include "markup/utf8_text.h"

namespace {

using markup::MarkupDoc;

void Check(bool ok) {
    if (!ok) std::abort();
}

// The text as the byte-by-byte decoder gives it, which the conversion in place, with its fast
// ASCII and three-byte stretches, must match exactly.
std::u16string DecodeCharByChar(const uint8_t* p, size_t size) {
    std::u16string text;
    for (const uint8_t* end = p + size; p < end;) {
        const int32_t v = markup::DecodeUtf8Char(p, end);
        if (v == 0) break;
        if (v >= 0x10000) {
            text += {static_cast<char16_t>(0xD800 + (((v - 0x10000) >> 10) & 0x3FF)),
                     static_cast<char16_t>(0xDC00 + ((v - 0x10000) & 0x3FF))};
        } else {
            text.push_back(v < 0 ? u'?' : static_cast<char16_t>(v));
        }
    }
    return text;
}

void CompareScanners(const std::u16string& text) {
    markup::TokenPos fast, slow;
    fast.text = slow.text = text.c_str();
    markup::NodeToken a, b;
    for (;;) {
        const markup::NodeType type = markup::ScanToken(fast, a);
        Check(type == markup::ScanTokenStepwise(slow, b));
        Check(fast.pos == slow.pos && a.length == b.length && a.flags == b.flags &&
              a.name == b.name && fast.nameStart == slow.nameStart && fast.nameEnd == slow.nameEnd);
        Check(type != markup::NodeError || a.error == b.error);
        if (type == markup::NodeEndOfText) return;
    }
}

// The table's entries must stay inside the text and link only to entries in use.
void CheckTable(const MarkupDoc& doc, const std::u16string& text) {
    const int used = doc.ElemUsed();
    const int64_t length = static_cast<int64_t>(text.size());
    for (int i = 1; i < used; ++i) {
        const markup::ElemPos& e = doc.ElemAt(i);
        Check(e.start >= 0 && e.length > 0 && e.start + static_cast<int64_t>(e.length) <= length);
        Check(text[static_cast<size_t>(e.start)] == u'<');
        Check(e.parent >= 0 && e.parent < i);
        Check(e.firstChild >= 0 && e.firstChild < used);
        Check(e.next >= 0 && e.next < used && e.prev > 0 && e.prev < used);
        // Attribute reading works on any start tag, with names taken from the tag itself.
        const char16_t* tag = text.c_str() + e.start;
        std::u16string name;
        for (uint32_t k = 1; k < e.StartTagLength() && tag[k] != u'='; ++k) {
            if (tag[k] == u' ')
                name.clear();
            else
                name.push_back(tag[k]);
        }
        for (const std::u16string& attribute : {name, std::u16string(u"a"), std::u16string()}) {
            markup::TextSpan span;
            if (markup::FindAttribute(text.c_str(), e.start + 1, attribute, span)) {
                Check(span.offset >= 0 && span.length >= 0 && span.offset + span.length <= length);
                Check(markup::DecodeValue(text.c_str() + span.offset, span.length).size() <=
                      static_cast<size_t>(span.length));
            }
        }
    }
}

// Moves the cursor from the start of the document along a path of sibling counts, one per
// level.
bool Reach(MarkupDoc& doc, const std::vector<int>& path) {
    doc.ResetPosition();
    for (size_t level = 0; level < path.size(); ++level) {
        if (level > 0 && !doc.EnterElement()) return false;
        for (int step = 0; step <= path[level]; ++step) {
            if (!doc.FindElement(u"")) return false;
        }
    }
    return true;
}

// Visits up to 300 elements in document order with the cursor, held against the table: where
// the table has a first child or a next sibling, the cursor must reach it. The cursor cannot
// step back out of an element, so after a subtree it is led down the path again from the start.
void WalkWithCursor(MarkupDoc& doc) {
    doc.ResetPosition();
    int32_t e = doc.ElemAt(0).firstChild;
    Check(doc.FindElement(u"") == (e != 0));
    std::vector<int> path = {0};
    for (int budget = 300; e != 0 && budget > 0; --budget) {
        doc.GetAttribute(u"name");
        doc.GetAttribute(u"url");
        const markup::ElemPos& at = doc.ElemAt(e);
        if (at.firstChild != 0) {
            Check(doc.EnterElement() && doc.FindElement(u""));
            path.push_back(0);
            e = at.firstChild;
        } else if (at.next != 0) {
            Check(doc.FindElement(u""));
            ++path.back();
            e = at.next;
        } else {
            while (e != 0 && doc.ElemAt(e).next == 0) {
                e = doc.ElemAt(e).parent;
                path.pop_back();
            }
            if (e == 0) return;
            e = doc.ElemAt(e).next;
            ++path.back();
            Check(Reach(doc, path));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    markup::Utf8ToText(data, size, text);
    Check(text == DecodeCharByChar(data, size));
    Check(static_cast<int64_t>(text.size()) == markup::Utf8ToUtf16(nullptr, data, size));
    CompareScanners(text);

    MarkupDoc doc;
    doc.SetDocument(text.c_str());
    doc.Result().Describe(doc.DocText());
    CheckTable(doc, text);
    WalkWithCursor(doc);
    return 0;
}
