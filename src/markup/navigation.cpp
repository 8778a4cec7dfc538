#include "markup/attribute_value.h"
#include "markup/markup_doc.h"
#include "markup/name_match.h"
#include "markup/text_util.h"

namespace markup {
namespace {

bool IsTagNameEnd(char16_t c) {
    return IsXmlSpace(c) || c == u'<' || c == u'>' || c == u'=' || c == u'\\' || c == u'/' ||
           c == u'?' || c == u'!';
}

// The element's name as the cursor sees it: after its "<" and any whitespace, up to the first
// tag-name end; a tag-name end standing first is a token of its own.
TextSpan ElementNameToken(const char16_t* text, int32_t start) {
    int32_t i = start + 1;
    while (IsXmlSpace(text[i])) ++i;
    const int32_t begin = i;
    if (text[i] == 0) return {begin, 0};
    if (IsTagNameEnd(text[i])) return {begin, 1};
    while (text[i] != 0 && !IsTagNameEnd(text[i])) ++i;
    return {begin, i - begin};
}

}  // namespace

bool MarkupDoc::FindElement(const std::u16string& name) {
    int32_t candidate = mainPos != 0 ? ElemAt(mainPos).next : ElemAt(parentPos).firstChild;
    if (!name.empty()) {
        const char16_t* text = docText.c_str();
        while (candidate != 0) {
            const TextSpan token = ElementNameToken(text, ElemAt(candidate).start);
            if (NameMatches(text + token.offset, token.length, name)) break;
            candidate = ElemAt(candidate).next;
        }
    }
    if (candidate == 0) return false;
    mainPos = candidate;
    parentPos = ElemAt(candidate).parent;
    childPos = 0;
    nodeOffset = 0;
    nodeLength = 0;
    nodeType = 1;
    return true;
}

bool MarkupDoc::EnterElement() {
    if (mainPos == 0 || nodeType != 1) return false;
    parentPos = mainPos;
    mainPos = childPos;
    childPos = 0;
    nodeOffset = 0;
    nodeLength = 0;
    nodeType = mainPos != 0 ? 1 : 0;
    return true;
}

std::u16string MarkupDoc::GetAttribute(const std::u16string& name) const {
    if (mainPos == 0 || nodeType != 1) return std::u16string();
    TextSpan value;
    if (!FindAttribute(docText.c_str(), ElemAt(mainPos).start + 1, name, value)) {
        return std::u16string();
    }
    return DecodeValue(docText.c_str() + value.offset, value.length);
}

}  // namespace markup
