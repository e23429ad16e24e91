#pragma once

// desktop.ini, from which the Windows shell takes a folder's background picture and the
// colour of its icon captions.

#include "decoration/desktop_ini.h"
#include "decoration/reader_codec.h"

#include <QString>
#include <optional>

namespace tessaro {

// What the window holds when the user presses apply.
struct DecorationChoice {
    QString pictureFolder;       // the file list's folder
    QString pictureName;         // the selected file's name; empty when none is selected
    bool pictureNameExact = true; // false when the name could only be shown approximately
    QString colourText;          // the colour box's text, as typed
    QString pictureProblem = {}; // why the preview could not read the picture; empty when it could
};

// The picture's full path by the folder-join rule: a separator is added unless the folder
// already ends in one (a drive root).
QString picturePath(const DecorationChoice& choice);

// Why the choice cannot be written, in Japanese, or nothing when it can.
std::optional<QString> checkChoice(const DecorationChoice& choice);

// The value of iconarea_text: "0x" and the colour text padded with zeros to eight digits.
QString colourValue(const DecorationChoice& choice);

} // namespace tessaro
