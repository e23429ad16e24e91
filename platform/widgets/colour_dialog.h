#pragma once

// The colour dialog: the system's own on Windows, Qt's elsewhere.

#include "platform/os/os_services.h"

#include <optional>

class QWidget;

namespace tessaro {

// Shows the colour dialog open at `initial`, with `custom` as its custom colours. On OK
// returns the chosen colour and writes the dialog's custom colours back; on cancel changes
// nothing.
std::optional<os::ColourRef> chooseColour(QWidget* parent, os::ColourRef initial, os::CustomColours& custom);

} // namespace tessaro
