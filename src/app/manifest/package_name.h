#pragma once
// Package names come from the server's manifest, so they are checked before anything is
// written under them.

#include <string_view>

namespace app {

// True when workFolder + name names a place inside the work folder: not absolute (no leading
// "\" or "/", so no UNC path either), no ":" anywhere (drives, alternate streams), and no
// component of dots and blanks holding "..", with either separator. Nor may a component name
// a device (NUL, CON, COM1, "aux.txt", any case), hold a control character or end in a dot
// or blank. Sub-folders are fine.
bool StaysInWorkFolder(std::u16string_view name);

// True when the name is empty or names one of the run's own files in the work folder
// (update.xml, update.xml.sig, update.log, any case, or a short "~n" alias of such a name),
// which the package would overwrite.
bool IsRunFileName(std::u16string_view name);

// True when run, the manifest's run target, names a place inside the application folder: not
// empty, no leading "\" or "/", no ":" anywhere, no empty part between separators, no part of
// dots and blanks holding "..", and no part naming a device (any case, with any extension).
bool IsRunTargetInside(std::u16string_view run);

}  // namespace app
