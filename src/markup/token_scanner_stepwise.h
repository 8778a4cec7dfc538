#pragma once

#include "markup/token_scanner.h"

namespace markup {

// The scanner written unit by unit as one state machine, exactly as the token rules read.
// ScanToken uses it for document type declarations, whose nested declarations make a fast
// path not worth having; tests use it as the reference that ScanToken must agree with.
NodeType ScanTokenStepwise(TokenPos& cursor, NodeToken& token);

}  // namespace markup
