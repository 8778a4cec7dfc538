#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "markup/parse_result.h"

namespace markup {

// Flags in ElemPos::flagsLevel, above the 16-bit level.
constexpr uint32_t FlagFirst = 0x80000;       // was its parent's first child when added
constexpr uint32_t FlagNotEnded = 0x100000;   // closed without its end tag
constexpr uint32_t FlagHasError = 0x200000;   // an error was met while it was innermost open
constexpr uint32_t FlagIllFormed = 0x800000;  // document entry only: the document had an error

// One entry of the element table: eight 32-bit words. Index 0 is the document itself, so 0
// means "none" in every link.
struct ElemPos {
    int32_t start;        // offset of the element's "<"
    int32_t length;       // units through the end tag, or of the start tag when there is none
    uint32_t tagLengths;  // low 22 bits start-tag length, high 10 bits end-tag length
    uint32_t flagsLevel;  // low 16 bits level, flags above
    int32_t parent;
    int32_t firstChild;
    int32_t next;
    int32_t prev;  // the first child of a list holds the last child of that list

    uint32_t StartTagLength() const { return tagLengths & 0x3FFFFF; }
    uint32_t EndTagLength() const { return tagLengths >> 22; }
    uint32_t Level() const { return flagsLevel & 0xFFFF; }
};

struct TokenPos;

// A non-validating XML reader: the document text, a flat table of element positions built by
// one parse, and a cursor that finds and enters elements and reads attribute values. Bad input
// never throws: calls return false and Result() tells how the last load and parse ended.
class MarkupDoc {
  public:
    // Holds the empty document.
    MarkupDoc();
    ~MarkupDoc();
    MarkupDoc(const MarkupDoc&) = delete;
    MarkupDoc& operator=(const MarkupDoc&) = delete;

    // Parses a zero-terminated text (null means empty); true when it is well-formed.
    bool SetDocument(const char16_t* text);
    // The same for a text the caller hands over: it becomes the document without a copy, the
    // way an in-place parser reuses its caller's buffer. The text ends at its first zero unit.
    bool SetDocument(std::u16string&& text);
    // Reads a UTF-8 file and parses it; true when it was read and is well-formed. A file that
    // cannot be read leaves the previous document, table and cursor as they were.
    bool LoadFile(const std::u16string& path);
    // Parses UTF-8 bytes held in memory, decoded as LoadFile decodes a file; true when the
    // text is well-formed.
    bool LoadUtf8(std::string_view bytes);

    // Moves to the next element of that name among the current element's later siblings (or
    // the children of the entered element); an empty name takes any element.
    bool FindElement(const std::u16string& name);
    // Steps into the current element, so the next FindElement searches its children.
    bool EnterElement();
    // The decoded value of an attribute of the current element, or an empty string.
    std::u16string GetAttribute(const std::u16string& name) const;

    // Puts the cursor back where a parse leaves it, before the first element.
    void ResetPosition();

    const ParseResult& Result() const { return result; }
    const std::u16string& DocText() const { return docText; }
    int ElemUsed() const { return elemUsed; }
    const ElemPos& ElemAt(int i) const {
        return segments[static_cast<size_t>(i >> 16)][i & 0xFFFF];
    }

  private:
    ElemPos& Elem(int32_t i) { return segments[static_cast<size_t>(i >> 16)][i & 0xFFFF]; }
    bool FitsOffsets(size_t length);
    // Parses docText; bytes is how many UTF-8 bytes it came from, or -1.
    bool Parse(int64_t bytes);
    int32_t ParseElements(int32_t startParent, TokenPos& cursor);
    bool GrowElementTable(int32_t wanted);
    friend class ElementParser;

    std::u16string docText;
    ParseResult result;
    int32_t parentPos = 0;
    int32_t mainPos = 0;
    int32_t childPos = 0;
    int32_t elemUsed = 0;
    int32_t nodeType = 0;
    int32_t nodeOffset = 0;
    int32_t nodeLength = 0;
    // Segments of 65536 entries; only the last one may be shorter, and only it ever moves.
    std::unique_ptr<std::unique_ptr<ElemPos[]>[]> segments;
    int32_t elemCapacity = 0;
    int32_t segmentSlots = 0;
};

}  // namespace markup
