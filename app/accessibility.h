#pragma once

namespace tessaro {

// Lets screen readers read Tessaro's window where Qt's defaults fall short: the window is
// exposed as a window, and a drop-down list by the name it was given. Once is enough;
// later calls change nothing.
void installAccessibility();

} // namespace tessaro
