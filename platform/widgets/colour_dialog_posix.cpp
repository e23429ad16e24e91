#include "platform/widgets/colour_dialog.h"

#include "platform/os/custom_colours.h"

#include <QColorDialog>
#include <QSettings>

namespace tessaro {
namespace {

QColor toColor(os::ColourRef colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

os::ColourRef toColourRef(const QColor& colour)
{
    return static_cast<os::ColourRef>(colour.red()) | static_cast<os::ColourRef>(colour.green()) << 8
        | static_cast<os::ColourRef>(colour.blue()) << 16;
}

} // namespace

std::optional<os::ColourRef> chooseColour(QWidget* parent, os::ColourRef initial, os::CustomColours& custom)
{
    // Qt's colour dialog keeps its custom colours in the user's configuration
    // (~/.config/QtProject.conf), read on first use and written back at exit. Tessaro keeps
    // them for one run and touches no settings, so Qt's settings are pointed at a folder that
    // cannot exist: nothing is read, and the write fails without a trace.
    static const bool isolated = [] {
        const QString nowhere = QStringLiteral("/dev/null/tessaro");
        for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
            QSettings::setPath(format, QSettings::UserScope, nowhere);
            QSettings::setPath(format, QSettings::SystemScope, nowhere);
        }
        return true;
    }();
    Q_UNUSED(isolated);

    std::array<os::ColourRef, 16> colours = os::unpackCustomColours(custom);
    for (std::size_t i = 0; i < colours.size(); ++i)
        QColorDialog::setCustomColor(static_cast<int>(i), toColor(colours[i]));

    // Qt's own dialog on every desktop, so that the custom colours behave alike everywhere.
    QColorDialog dialog(parent);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setCurrentColor(toColor(initial));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;

    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = toColourRef(QColorDialog::customColor(static_cast<int>(i)));
    custom = os::packCustomColours(colours);
    return toColourRef(dialog.selectedColor());
}

} // namespace tessaro
