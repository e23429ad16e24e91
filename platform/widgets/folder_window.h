#pragma once

// The folder as its reader draws it: a window of a usual size whose icon area shows the
// picture at its own pixel size from the top-left corner, repeated across and down when it is
// smaller and never stretched, with the icons' captions over it in the caption colour; and how
// well those captions stand out from the pixels behind them.

#include "platform/widgets/folder_reading.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <filesystem>
#include <optional>
#include <vector>

class QFont;
class QPalette;
class QStyle;

namespace tessaro {

// The folder window shown, in logical pixels: a usual size for a folder opened on a desktop,
// a title bar above its icon area.
inline constexpr QSize FolderWindowSize{800, 600};
inline constexpr int FolderTitleHeight = 24;
inline constexpr QRect FolderIconArea{0, FolderTitleHeight, 800, 600 - FolderTitleHeight};

// How many icons the window shows: the target folder's first names, or sample ones.
inline constexpr int FolderItemsShown = 12;

// WCAG's least contrast for normal text (level AA): below it captions may be hard to read.
inline constexpr double LegibleContrast = 4.5;

struct FolderItem {
    QString name;
    bool folder = false;

    bool operator==(const FolderItem&) const = default;
};

// Names a folder might hold, for a target with nothing to show.
QList<FolderItem> sampleFolderItems();

// The first FolderItemsShown entries of `folder` as its reader lists them (folders first, then
// files, without regard to case), hidden ones left out; none when it cannot be read. Reads no
// more than a few hundred entries, so that a huge folder costs no more than a small one: past
// that the names are the first read, not the first by name. On a worker.
std::optional<QList<FolderItem>> readFolderItems(const std::filesystem::path& folder, VolumeTask::Control& control);

// Where the reader puts each icon and the lines of its caption, in the window's coordinates:
// a grid filled row by row from the icon area's top-left, each caption centred under its icon
// on at most two lines.
struct FolderLayout {
    struct Entry {
        QRect icon;
        QStringList lines;
        QList<QRect> lineRects; // each line's text, as wide as it is drawn
    };
    QList<Entry> entries;

    // The rectangles of every caption line: where the picture lies behind the text.
    QList<QRect> captionRects() const;
};
FolderLayout layOutFolder(const QList<FolderItem>& items, const QFont& font);

// The part of a picture of `size` that the icon area shows: its top-left corner, no larger
// than the area. A smaller picture is shown whole, repeated.
QRect shownPart(QSize size);

// A picture this large shows only its top-left part in a folder window, and the user should
// be told so.
bool isBigPicture(QSize size);
// The sentence that says so; empty for a picture that is not big.
QString bigPictureNote(QSize size);

// The icons the folder window shows, as the style draws them at the window's size; fetched
// once, as the first look-up reads the icon theme.
struct FolderIcons {
    QPixmap folder;
    QPixmap file;
};
FolderIcons folderIcons(const QStyle& style);

// The folder window at FolderWindowSize: `tile` (shownPart() of the picture, opaque) repeated
// over the icon area from its top-left, the icons and their captions in `caption`.
QImage drawFolderWindow(const QImage& tile, const QString& title, const QList<FolderItem>& items, const FolderLayout& layout,
                        QColor caption, const QFont& font, const FolderIcons& icons, const QPalette& palette);

// `image` over the icon area's own colour, white: transparent parts of a picture show it.
QImage opaqueOnWindow(const QImage& image);

// The relative luminance of each pixel of the tiled picture that lies under `rects` (window
// coordinates), from `tile` as drawFolderWindow() repeats it.
std::vector<float> luminancesUnder(const QImage& tile, const QList<QRect>& rects);

// The relative luminance of a colour, as WCAG 2.x defines it.
double relativeLuminance(QColor colour);
// WCAG 2.x's contrast ratio of two relative luminances, from 1 to 21.
double contrastRatio(double first, double second);

// The contrast of `caption` against the pixels behind the captions: the ratio that all but
// the worst tenth of those pixels reach, so that a few specks of the caption's own shade do
// not condemn a picture, while a band of it does. None without pixels.
std::optional<double> captionContrast(const std::vector<float>& luminances, QColor caption);

// "7.2 : 1", rounded down so that a figure just below LegibleContrast never reads as it.
QString contrastText(double ratio);
// The warning for a contrast below LegibleContrast.
QString legibilityWarning();

} // namespace tessaro
