#pragma once

// The system's colour dialog. Windows only: elsewhere the toolkit's dialog serves.

#include "platform/os/os_services.h"

#include <optional>

namespace tessaro::os {

// Shows the colour dialog open at `initial`, with `custom` as its custom colours. On OK
// returns the chosen colour and writes the dialog's custom colours back; on cancel changes
// nothing.
std::optional<ColourRef> chooseColour(NativeWindow owner, ColourRef initial, CustomColours& custom);

} // namespace tessaro::os
