#include "platform/widgets/colour_dialog.h"

#include "platform/os/colour_dialog_win.h"
#include "platform/widgets/native_window.h"

namespace tessaro {

std::optional<os::ColourRef> chooseColour(QWidget* parent, os::ColourRef initial, os::CustomColours& custom)
{
    return os::chooseColour(nativeWindowOf(parent), initial, custom);
}

} // namespace tessaro
