#pragma once

// How long the target pane takes to read one folder's desktop.ini for its emblem, for files of
// a megabyte in the shapes that once made reading slow, against reading the same file and
// counting its lines.

#include <QString>

#include <string>
#include <vector>

namespace tessaro::bench {

struct IniReading {
    std::string shape;
    std::vector<double> floorMs, tessaroMs; // one per run
};

// Writes each shape as the desktop.ini of a folder below `base` and times both, `runs` times
// each in turn.
std::vector<IniReading> measureIniReading(const QString& base, int runs);

} // namespace tessaro::bench
