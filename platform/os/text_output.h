#pragma once

// Text files for other programs, in the encoding those programs read. Standard library
// only: the Windows build of this file is tested under Wine without Qt.

#include <string>
#include <string_view>

namespace tessaro {

// The bytes of `text` for a file that the Windows shell reads: in `encoding` (a code page
// number or a POSIX codeset, as os::systemEncoding() names it) when every character fits
// exactly, otherwise UTF-16LE with a byte-order mark, which the shell reads as well.
// Never a substitute character: a '?' in a picture path breaks the decoration silently.
std::string encodeForShell(std::u16string_view text, const std::string& encoding);

} // namespace tessaro
