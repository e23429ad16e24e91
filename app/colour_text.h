#pragma once

// The caption colour as the user types it into the colour box: what colour it names, or
// why it names none, by the rule apply checks it by.

#include "platform/os/os_services.h"

#include <QString>

#include <optional>

namespace tessaro {

// The text with the full-width digits and letters a Japanese input method types (ＦＦ) and
// its full-width space taken as their ASCII forms: the settings file must hold ASCII
// hexadecimal, and the user should not have to switch the input method to type it.
QString asciiForm(const QString& text);

// One to eight hexadecimal digits, spaces around them allowed: the colour, 0x00BBGGRR.
// Otherwise no colour, and why, in Japanese, for the box's tooltip.
struct ColourReading {
    std::optional<os::ColourRef> colour;
    QString problem;
};
ColourReading readColourText(const QString& text);

} // namespace tessaro
