#pragma once

// The code page desktop.ini's reader decodes an ANSI file with, for the ini functions. No Qt:
// the Windows reader's tests use it on their own.

#include "decoration/desktop_ini.h"

namespace tessaro {

// Decodes in the reader's code page (os::readerEncoding()); writes in it only where this
// machine is the reader, else ASCII alone, which reads the same in every code page.
const ini::Codec& readerCodec();

} // namespace tessaro
