#pragma once

#include <cstdint>
#include <string>

#include "markup/parse_result.h"

namespace markup {

// Kinds of token. The values are stored in tables and compared by callers, so they are fixed.
enum NodeType : int32_t {
    NodeEndTag = 0,
    NodeElement = 1,
    NodeText = 2,
    NodeWhitespace = 4,
    NodeCData = 8,
    NodeProcessingInstruction = 16,
    NodeComment = 32,
    NodeDocType = 64,
    NodeError = -1,
    NodeEndOfText = -2,
};

// A start tag closed with "/>".
constexpr uint32_t FlagEmptyElement = 0x10000;

// The scanner's cursor over one zero-terminated text; one per parse.
struct TokenPos {
    int32_t nameStart = 0;  // first unit of the most recent end tag's name
    int32_t nameEnd = -1;   // last unit of that name; nameStart - 1 when it is empty
    int32_t pos = 0;        // where the next token begins
    const char16_t* text = nullptr;
};

struct NodeToken {
    NodeType type = NodeError;
    int32_t start = 0;   // offset of the first unit; for every tag its "<"
    int32_t length = 0;  // number of units
    uint32_t flags = 0;  // FlagEmptyElement or 0
    // Start-tag name or processing-instruction target; other tokens leave it.
    std::u16string name;
    // What is wrong with a NodeError token, which starts at the fault; other tokens leave it.
    Status error = Status::Ok;
};

// Scans the token at cursor.pos into token, moves cursor.pos past it and returns its type.
// Malformed input comes back as NodeError with its status in token.error; at the terminating
// zero NodeEndOfText is returned and pos stays.
NodeType ScanToken(TokenPos& cursor, NodeToken& token);

// The name of the most recent end tag, or an empty string.
std::u16string EndTagName(const TokenPos& cursor);

}  // namespace markup
