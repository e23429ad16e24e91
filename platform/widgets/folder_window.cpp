#include "platform/widgets/folder_window.h"

#include "platform/os/native_path.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QStyle>

#include <algorithm>
#include <array>
#include <cmath>

namespace tessaro {
namespace {

// The messages' translation context.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::FolderWindow)
};

// The icon view's grid as the reader spaces it at normal scale: large icons, each caption
// wrapped to the cell's width less a small margin.
constexpr int CellWidth = 75;
constexpr int CellHeight = 75;
constexpr int IconSize = 32;
constexpr int CaptionWidth = CellWidth - 4;
constexpr int CaptionGap = 4;

// Beyond this many entries a folder's names are not worth the wait: the sample needs a dozen.
constexpr int MostEntriesRead = 512;

// Fixed in pixels, so that the layout measured here and the text drawn into the window's
// image agree whatever resolution either assumes.
QFont pixelFont(const QFont& font)
{
    QFont fixed = font;
    fixed.setPixelSize(QFontInfo(font).pixelSize());
    return fixed;
}

// A caption's lines: wrapped at a space where one fits, else where the width ends; what does
// not fit on the second line is cut short with an ellipsis.
QStringList captionLines(const QString& name, const QFontMetrics& metrics)
{
    QStringList lines;
    QString rest = name;
    while (!rest.isEmpty()) {
        if (metrics.horizontalAdvance(rest) <= CaptionWidth || lines.size() == 1) {
            lines << metrics.elidedText(rest, Qt::ElideRight, CaptionWidth);
            break;
        }
        qsizetype fits = 1;
        while (fits < rest.size() && metrics.horizontalAdvance(rest.left(fits + 1)) <= CaptionWidth)
            ++fits;
        if (fits < rest.size() && rest.at(fits - 1).isHighSurrogate() && fits > 1)
            --fits;
        const qsizetype space = rest.left(fits + 1).lastIndexOf(QLatin1Char(' '));
        const qsizetype cut = space > 0 ? space : fits;
        lines << rest.left(cut);
        rest = rest.mid(cut);
        while (rest.startsWith(QLatin1Char(' ')))
            rest.remove(0, 1);
    }
    return lines;
}

bool hiddenName(const QString& name)
{
    // desktop.ini and Thumbs.db are Hidden and System where the reader lives.
    return name.startsWith(QLatin1Char('.')) || name.compare(QLatin1String("desktop.ini"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("thumbs.db"), Qt::CaseInsensitive) == 0;
}

const std::array<double, 256>& linearChannel()
{
    static const std::array<double, 256> table = [] {
        std::array<double, 256> values{};
        for (std::size_t i = 0; i < values.size(); ++i) {
            const double c = static_cast<double>(i) / 255.0;
            values[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return values;
    }();
    return table;
}

double luminanceOf(QRgb pixel)
{
    const auto& linear = linearChannel();
    return 0.2126 * linear[static_cast<std::size_t>(qRed(pixel))] + 0.7152 * linear[static_cast<std::size_t>(qGreen(pixel))]
        + 0.0722 * linear[static_cast<std::size_t>(qBlue(pixel))];
}

} // namespace

QList<FolderItem> sampleFolderItems()
{
    return {
        {Text::tr("写真"), true},
        {Text::tr("書類"), true},
        {Text::tr("音楽"), true},
        {Text::tr("旅行の計画.txt"), false},
        {QStringLiteral("IMG_0001.jpg"), false},
        {Text::tr("議事録 4月.docx"), false},
        {Text::tr("予算.xlsx"), false},
        {Text::tr("地図.png"), false},
        {Text::tr("メモ.txt"), false},
        {QStringLiteral("README.txt"), false},
        {Text::tr("発表資料.pptx"), false},
        {Text::tr("招待状.pdf"), false},
    };
}

std::optional<QList<FolderItem>> readFolderItems(const std::filesystem::path& folder, VolumeTask::Control& control)
{
    std::error_code error;
    std::filesystem::directory_iterator it(folder, std::filesystem::directory_options::skip_permission_denied, error);
    control.advance();
    if (error)
        return std::nullopt;
    QList<FolderItem> items;
    const std::filesystem::directory_iterator end;
    for (int n = 0; !error && it != end && n < MostEntriesRead; it.increment(error), ++n) {
        control.advance(1);
        if (control.cancelled())
            return std::nullopt;
        const QString name = toQString(it->path().filename());
        std::error_code typeError;
        if (!hiddenName(name))
            items.append({name, it->is_directory(typeError)});
    }
    std::sort(items.begin(), items.end(), [](const FolderItem& a, const FolderItem& b) {
        if (a.folder != b.folder)
            return a.folder;
        return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
    });
    items.resize(std::min<qsizetype>(items.size(), FolderItemsShown));
    return items;
}

QList<QRect> FolderLayout::captionRects() const
{
    QList<QRect> rects;
    for (const Entry& entry : entries)
        rects += entry.lineRects;
    return rects;
}

FolderLayout layOutFolder(const QList<FolderItem>& items, const QFont& font)
{
    const QFontMetrics metrics(pixelFont(font));
    const int columns = FolderIconArea.width() / CellWidth;
    FolderLayout layout;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QRect cell(FolderIconArea.left() + static_cast<int>(i % columns) * CellWidth,
                         FolderIconArea.top() + 2 + static_cast<int>(i / columns) * CellHeight, CellWidth, CellHeight);
        FolderLayout::Entry entry;
        entry.icon = QRect(cell.center().x() - IconSize / 2 + 1, cell.top() + 2, IconSize, IconSize);
        entry.lines = captionLines(items[i].name, metrics);
        int top = entry.icon.bottom() + 1 + CaptionGap;
        for (const QString& line : std::as_const(entry.lines)) {
            const int width = metrics.horizontalAdvance(line);
            entry.lineRects.append(QRect(cell.left() + (CellWidth - width) / 2, top, width, metrics.height()));
            top += metrics.height();
        }
        layout.entries.append(entry);
    }
    return layout;
}

QRect shownPart(QSize size)
{
    return QRect(QPoint(0, 0), size.boundedTo(FolderIconArea.size()));
}

bool isBigPicture(QSize size)
{
    return size.width() > 1600 || size.height() > 1200;
}

QString bigPictureNote(QSize size)
{
    if (!isBigPicture(size))
        return {};
    return Text::tr("%1 × %2 の画像は左上だけが表示されます").arg(size.width()).arg(size.height());
}

QImage opaqueOnWindow(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter(&opaque).drawImage(0, 0, image);
    return opaque;
}

FolderIcons folderIcons(const QStyle& style)
{
    return {style.standardIcon(QStyle::SP_DirIcon).pixmap(IconSize, IconSize), style.standardIcon(QStyle::SP_FileIcon).pixmap(IconSize, IconSize)};
}

QImage drawFolderWindow(const QImage& tile, const QString& title, const QList<FolderItem>& items, const FolderLayout& layout,
                        QColor caption, const QFont& font, const FolderIcons& icons, const QPalette& palette)
{
    QImage window(FolderWindowSize, QImage::Format_RGB32);
    window.fill(Qt::white);
    QPainter painter(&window);
    const QFont text = pixelFont(font);
    painter.setFont(text);

    const QRect titleBar(0, 0, FolderWindowSize.width(), FolderTitleHeight);
    painter.fillRect(titleBar, palette.color(QPalette::Active, QPalette::Highlight));
    painter.setPen(palette.color(QPalette::Active, QPalette::HighlightedText));
    const QRect titleText = titleBar.adjusted(8, 0, -8, 0);
    painter.drawText(titleText, Qt::AlignLeft | Qt::AlignVCenter, QFontMetrics(text).elidedText(title, Qt::ElideMiddle, titleText.width()));

    // A texture brush repeats the picture from the brush's origin, as the reader does from the
    // icon area's corner; a one-pixel pattern costs no more than a photograph.
    if (!tile.isNull()) {
        painter.setBrushOrigin(FolderIconArea.topLeft());
        painter.fillRect(FolderIconArea, QBrush(tile));
    }

    painter.setPen(caption);
    for (qsizetype i = 0; i < layout.entries.size() && i < items.size(); ++i) {
        const FolderLayout::Entry& entry = layout.entries[i];
        painter.drawPixmap(entry.icon, items[i].folder ? icons.folder : icons.file);
        for (qsizetype line = 0; line < entry.lines.size(); ++line)
            painter.drawText(entry.lineRects[line], Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, entry.lines[line]);
    }
    return window;
}

std::vector<float> luminancesUnder(const QImage& tile, const QList<QRect>& rects)
{
    std::vector<float> luminances;
    if (tile.isNull())
        return luminances;
    const QImage pixels = tile.convertToFormat(QImage::Format_RGB32);
    for (const QRect& rect : rects) {
        const QRect inside = rect.intersected(FolderIconArea);
        for (int y = inside.top(); y <= inside.bottom(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine((y - FolderIconArea.top()) % pixels.height()));
            for (int x = inside.left(); x <= inside.right(); ++x)
                luminances.push_back(static_cast<float>(luminanceOf(line[(x - FolderIconArea.left()) % pixels.width()])));
        }
    }
    return luminances;
}

double relativeLuminance(QColor colour)
{
    return luminanceOf(colour.rgb());
}

double contrastRatio(double first, double second)
{
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

std::optional<double> captionContrast(const std::vector<float>& luminances, QColor caption)
{
    if (luminances.empty() || !caption.isValid())
        return std::nullopt;
    const double own = relativeLuminance(caption);
    std::vector<double> ratios;
    ratios.reserve(luminances.size());
    for (const float luminance : luminances)
        ratios.push_back(contrastRatio(luminance, own));
    const auto tenth = ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 10);
    std::nth_element(ratios.begin(), tenth, ratios.end());
    return *tenth;
}

QString contrastText(double ratio)
{
    return Text::tr("%1 : 1").arg(std::floor(ratio * 10.0) / 10.0, 0, 'f', 1);
}

QString legibilityWarning()
{
    return Text::tr("この背景では文字が読みにくい可能性があります");
}

} // namespace tessaro
