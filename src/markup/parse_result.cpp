#include "markup/parse_result.h"

#include "base/text.h"
#include "markup/text_file.h"
#include "markup/text_util.h"

namespace markup {
namespace {

using base::DecimalText;
using base::FromAscii;

// The name of the tag whose "<" lies at offset, quoted, and a blank after it; nothing without
// the text. Tag names end as the scanner ends them; an end tag's name begins after "</".
std::u16string QuotedName(std::u16string_view text, int32_t offset, bool endTag) {
    size_t i = static_cast<size_t>(offset) + (endTag ? 2 : 1);
    if (offset < 0 || i > text.size()) return std::u16string();
    const size_t begin = i;
    while (i < text.size() && text[i] != 0 && text[i] != u'/' && text[i] != u'>' &&
           !IsXmlSpace(text[i])) {
        ++i;
    }
    return u"'" + std::u16string(text.substr(begin, i - begin)) + u"' ";
}

std::u16string AtOffset(int32_t offset) {
    return u"at offset " + DecimalText(offset);
}

// What is left unterminated, from Status::UnterminatedTag on in the enum's order.
constexpr const char* kUnterminated[] = {
    "tag",     "Element tag", "Element end tag", "CDATA Section", "Processing instruction",
    "Comment", "Doctype"};

// The fault in words, without the load line.
std::u16string Fault(const ParseResult& r, std::u16string_view text) {
    switch (r.status) {
        case Status::Ok:
            return std::u16string();
        case Status::FileUnreadable:
            return SystemErrorText(r.systemError);
        case Status::TooLarge:
            return u"Document of " +
                   (r.bytes >= 0 ? DecimalText(r.bytes) + u" bytes"
                                 : DecimalText(r.units) + u" wide chars") +
                   u" is too large";
        case Status::EmptyDocument:
            return u"Empty document";
        case Status::NoRootElement:
            return u"No root element";
        case Status::RootHasSibling:
            return u"Root element has sibling " + QuotedName(text, r.offset, false) +
                   AtOffset(r.offset);
        case Status::EndTagMismatch:
            return u"End tag " + QuotedName(text, r.offset, true) + AtOffset(r.offset) +
                   u" does not match start tag " + QuotedName(text, r.startOffset, false) +
                   AtOffset(r.startOffset);
        case Status::NoStartTag:
            return u"No start tag for end tag " + QuotedName(text, r.offset, true) +
                   AtOffset(r.offset);
        case Status::ElementNotEnded:
            return u"Element " + QuotedName(text, r.offset, false) + AtOffset(r.offset) +
                   u" not ended";
        case Status::BadTagNameCharacter:
            return u"Incorrect tag name character " + AtOffset(r.offset);
        case Status::BadBangTag:
            return u"Incorrect ! tag " + AtOffset(r.offset);
        case Status::BadCommentTag:
            return u"Incorrect comment tag " + AtOffset(r.offset);
        case Status::BadBracketTag:
            return u"Incorrect tag " + AtOffset(r.offset);
        default:  // the unterminated kinds, which end the enum
            return FromAscii(kUnterminated[static_cast<int>(r.status) -
                                           static_cast<int>(Status::UnterminatedTag)]) +
                   u" " + AtOffset(r.offset) + u" unterminated";
    }
}

}  // namespace

std::u16string ParseResult::Describe(std::u16string_view text) const {
    std::u16string fault = Fault(*this, text);
    if (bytes < 0 || status == Status::FileUnreadable || status == Status::TooLarge) {
        return fault.empty() ? u"No error" : fault;
    }
    std::u16string line = DecimalText(bytes) + u" bytes to " + DecimalText(units) + u" wide chars";
    return fault.empty() ? line : line + u", " + fault;
}

}  // namespace markup
