#pragma once

// What apply and take-off say to the user when they end well, and what take-off asks: each
// text composed in one place, from what the command found and did.

#include "platform/os/os_services.h"

#include <QString>

namespace tessaro {

// A caption colour as the user reads it, in the colour dialog's terms and notation:
// 「赤 255、緑 0、青 0 (#FF0000)」.
QString describeColour(os::ColourRef colour);

// What apply did.
struct AppliedDecoration {
    QString folder;      // the target folder, in native form
    QString picture;     // the picture the folder now uses, in native form
    QString copiedFrom;  // the picture copied into the folder as `picture`; empty when none was copied
    QString colour;      // iconarea_text as written, "0x000000FF"
    bool readerElsewhere = false; // the folder's reader is Windows on another machine or system
    QString earlier;     // what became of the picture the folder named before, on lines of its own; or empty
};

// The message after an apply that changed the folder.
QString appliedText(const AppliedDecoration& applied);

// The message after an apply that found the folder already decorated exactly so.
QString unchangedText(const QString& folder);

// Take-off's question: whether the rest of desktop.ini stays or, with nothing else in it, the
// file goes; and that it is read-only, when it is.
QString takeOffQuestion(const QString& folder, bool nothingLeft, bool readOnly);

} // namespace tessaro
