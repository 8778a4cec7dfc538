#pragma once

#include <cstddef>
#include <string>

// Deterministic benchmark inputs, the same bytes on every run.

// A manifest-like file: a root with many elements of 3-6 attributes, some values with entity
// and character references, and nested items.
std::string MakeManifestFile(size_t targetBytes);

// Mixed content: text, comments, CDATA sections, processing instructions, deeper nesting and
// Chinese text in attribute values and content.
std::string MakeMixedFile(size_t targetBytes);
