#include "platform/widgets/colour_dialog.h"

#include "platform/os/colour_dialog_win.h"
#include "platform/widgets/native_window.h"

namespace tessaro {

std::optional<os::ColourRef> chooseColour(QWidget* parent, os::CustomColours& custom)
{
    return os::chooseColour(nativeWindowOf(parent), custom);
}

} // namespace tessaro
