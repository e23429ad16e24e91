#pragma once

namespace tessaro {

// Lets screen readers read Tessaro's window where Qt's defaults fall short: the window is
// exposed as a window, a drop-down list by the name it was given, and a menu item with its
// status tip as its description. Once is enough; later calls change nothing.
void installAccessibility();

} // namespace tessaro
