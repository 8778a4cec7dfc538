#include "markup/markup_doc.h"

#include <cstring>
#include <limits>

#include "markup/token_scanner.h"

namespace markup {
namespace {

constexpr int32_t kSegmentEntries = 65536;

std::unique_ptr<ElemPos[]> NewSegment(int32_t entries) {
    // Entries are written by the parser before anything reads them, so they are left raw.
    return std::make_unique_for_overwrite<ElemPos[]>(static_cast<size_t>(entries));
}

// Units before the terminating zero, four per step; each unit is read only after the ones
// before it proved nonzero, so nothing past the zero is touched.
size_t TextLength(const char16_t* text) {
    const char16_t* p = text;
    while (p[0] != 0 && p[1] != 0 && p[2] != 0 && p[3] != 0) p += 4;
    while (*p != 0) ++p;
    return static_cast<size_t>(p - text);
}

}  // namespace

MarkupDoc::MarkupDoc() {
    SetDocument(nullptr);
}

MarkupDoc::~MarkupDoc() = default;

bool MarkupDoc::SetDocument(const char16_t* text) {
    const size_t length = text != nullptr ? TextLength(text) : 0;
    if (!FitsOffsets(length)) return false;
    docText.assign(text != nullptr ? text : u"", length);
    return Parse(-1);
}

bool MarkupDoc::SetDocument(std::u16string&& text) {
    const size_t zero = text.find(u'\0');
    if (zero != std::u16string::npos) text.resize(zero);
    if (!FitsOffsets(text.size())) return false;
    docText = std::move(text);
    return Parse(-1);
}

bool MarkupDoc::FitsOffsets(size_t length) {
    if (length <= static_cast<size_t>(std::numeric_limits<int32_t>::max())) return true;
    // Offsets are 32-bit; such a text cannot be addressed, so the old document stays.
    result = ParseResult{.status = Status::TooLarge, .units = static_cast<int64_t>(length)};
    return false;
}

void MarkupDoc::ResetPosition() {
    parentPos = 0;
    mainPos = 0;
    childPos = 0;
    nodeType = 0;
    nodeOffset = 0;
    nodeLength = 0;
}

bool MarkupDoc::Parse(int64_t bytes) {
    const int32_t textLength = static_cast<int32_t>(docText.size());
    result = ParseResult{.bytes = bytes, .units = textLength};
    ResetPosition();
    elemUsed = 1;
    GrowElementTable(textLength / 64 + 8);
    Elem(0) = ElemPos{};

    // Faults of the document as a whole win over any met inside it.
    if (textLength == 0) {
        result.status = Status::EmptyDocument;
    } else {
        TokenPos cursor;
        cursor.text = docText.c_str();
        const int32_t first = ParseElements(0, cursor);
        Elem(0).length = textLength;
        if (first == 0) {
            result.status = Status::NoRootElement;
            result.offset = 0;
        } else {
            Elem(0).firstChild = first;
            if (Elem(first).next != 0) {
                result.status = Status::RootHasSibling;
                result.offset = Elem(Elem(first).next).start;
            }
        }
        if (result.status != Status::EndTagMismatch) result.startOffset = 0;
    }
    ResetPosition();

    const ElemPos& document = Elem(0);
    return (document.flagsLevel & FlagIllFormed) == 0 && document.firstChild != 0 &&
           Elem(document.firstChild).next == 0;
}

bool MarkupDoc::GrowElementTable(int32_t wanted) {
    if (wanted == 0) wanted = elemUsed + elemUsed / 2;
    if (elemCapacity >= wanted) return true;

    const int32_t oldLast = elemCapacity > 0 ? (elemCapacity - 1) >> 16 : 0;
    int32_t newLast = (wanted - 1) >> 16;
    // Never more than one new segment in one step.
    if (newLast > oldLast + 1) {
        newLast = oldLast + 1;
        wanted = (newLast + 1) * kSegmentEntries;
    }

    if (segmentSlots <= newLast) {
        const int32_t slots = newLast * 2 + 4;
        auto grown = std::make_unique<std::unique_ptr<ElemPos[]>[]>(static_cast<size_t>(slots));
        const int32_t existing = elemCapacity > 0 ? oldLast + 1 : 0;
        for (int32_t i = 0; i < existing; ++i)
            grown[static_cast<size_t>(i)] = std::move(segments[static_cast<size_t>(i)]);
        segments = std::move(grown);
        segmentSlots = slots;
    }

    // Only entries in use carry anything worth copying.
    auto usedIn = [this](int32_t segment, int32_t entries) {
        const int32_t used = elemUsed - segment * kSegmentEntries;
        return used < 0 ? 0 : (used < entries ? used : entries);
    };
    const int32_t oldEntries = elemCapacity - oldLast * kSegmentEntries;
    if (elemCapacity > 0 && newLast > oldLast && oldEntries < kSegmentEntries) {
        auto full = NewSegment(kSegmentEntries);
        std::memcpy(full.get(), segments[static_cast<size_t>(oldLast)].get(),
                    sizeof(ElemPos) * static_cast<size_t>(usedIn(oldLast, oldEntries)));
        segments[static_cast<size_t>(oldLast)] = std::move(full);
    }

    auto last = NewSegment(wanted - newLast * kSegmentEntries);
    if (elemCapacity > 0 && newLast == oldLast) {
        std::memcpy(last.get(), segments[static_cast<size_t>(oldLast)].get(),
                    sizeof(ElemPos) * static_cast<size_t>(usedIn(oldLast, oldEntries)));
    }
    segments[static_cast<size_t>(newLast)] = std::move(last);
    elemCapacity = wanted;
    return true;
}

}  // namespace markup
