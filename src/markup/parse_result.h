#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace markup {

// How a load and parse ended. Only the first fault met is kept, except that the faults of the
// document as a whole (no root, a second root) win over those inside it.
enum class Status : uint8_t {
    Ok,
    // The text never became the document.
    FileUnreadable,  // ParseResult::systemError says why
    TooLarge,        // beyond 32-bit offsets; bytes or units says how large
    // The document as a whole.
    EmptyDocument,
    NoRootElement,
    RootHasSibling,  // offset: the second element at the top
    // Elements; offset: the "<" of the tag at fault.
    EndTagMismatch,  // an end tag closed an outer element; startOffset: the inner one left open
    NoStartTag,      // an end tag closes no open element
    ElementNotEnded,
    // Tokens; offset: their "<".
    BadTagNameCharacter,  // "<" followed by no name, "/", "!" or "?"
    BadBangTag,           // "<!" followed by none of "--", "[", "D", "E", "A", "N"
    BadCommentTag,        // "<!-" without the second "-"
    BadBracketTag,        // "<![" without "C"
    // The text ends inside a token; these stay last, in this order (see Describe).
    UnterminatedTag,  // within "<", "<!", "<!-" or "<!["
    UnterminatedElementTag,
    UnterminatedEndTag,
    UnterminatedCData,
    UnterminatedInstruction,
    UnterminatedComment,
    UnterminatedDocType,
};

// The verdict of MarkupDoc's last load or parse: a status, the offset in units of the document
// text where the fault lies, and what the log needs besides.
struct ParseResult {
    Status status = Status::Ok;
    int32_t offset = 0;
    int32_t startOffset = 0;  // EndTagMismatch only
    int64_t bytes = -1;       // the UTF-8 bytes the text came from; -1 when handed over as units
    int64_t units = 0;        // the document text's length, or of a text too large
    int systemError = 0;      // the errno of FileUnreadable

    bool Ok() const { return status == Status::Ok; }
    // The verdict in words for the log, e.g. "120 bytes to 118 wide chars, End tag 'r' at
    // offset 10 does not match start tag 'a' at offset 3". Names are quoted from text, the
    // document the offsets point into; without it they are left out.
    std::u16string Describe(std::u16string_view text = {}) const;
};

}  // namespace markup
