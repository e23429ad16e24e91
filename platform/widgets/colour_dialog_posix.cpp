#include "platform/widgets/colour_dialog.h"

#include "platform/os/custom_colours.h"

#include <QAccessibleWidget>
#include <QColorDialog>
#include <QHash>
#include <QMetaMethod>
#include <QPointer>
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

// Qt's dialog draws its basic and custom colours as grids of cells (its own QWellArray) that
// a screen reader finds blank: a grid has no cells to read, and the cell the arrow keys move
// to is never announced. Each grid is watched from outside: its cells are read as list items
// named by their colour, and the one the keyboard is on is announced as it moves.
class GridWatch final : public QObject {
    Q_OBJECT
public:
    // Qt's grids paint cells of this size; the grid's size hint is rows and columns of them.
    static constexpr int CellWidth = 28, CellHeight = 24;

    GridWatch(QWidget* grid, int rowCount, int columnCount, bool customColours)
        : QObject(grid)
        , rows(rowCount)
        , columns(columnCount)
        , custom(customColours)
    {
    }

    const int rows, columns;
    const bool custom;
    int current = 0;  // the cell the keyboard is on, row by row

    QWidget* grid() const { return static_cast<QWidget*>(parent()); }

    // Its colours run down the columns, as the dialog paints them.
    QColor colour(int cell) const
    {
        const int index = cell % columns * rows + cell / columns;
        return custom ? QColorDialog::customColor(index) : QColorDialog::standardColor(index);
    }

    QRect cellRect(int cell) const
    {
        const int column = grid()->isRightToLeft() ? columns - 1 - cell % columns : cell % columns;
        return QRect(column * CellWidth, cell / columns * CellHeight, CellWidth, CellHeight);
    }

public Q_SLOTS:
    // After the grid's own focus event, which Qt sends once the grid has taken the focus.
    void moved(int row, int column)
    {
        current = row * columns + column;
        QMetaObject::invokeMethod(this, [this] {
            if (!grid()->hasFocus())
                return;
            QAccessibleEvent focus(grid(), QAccessible::Focus);
            focus.setChild(current);
            QAccessible::updateAccessibility(&focus);
        }, Qt::QueuedConnection);
    }
};

class ColourCell final : public QAccessibleInterface {
public:
    ColourCell(GridWatch* watch, int cell)
        : m_watch(watch)
        , m_cell(cell)
    {
    }

    bool isValid() const override { return m_watch; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_watch->grid()->window()->windowHandle(); }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_watch->grid()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString&) override {}

    // In the words the window uses for the caption colour.
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return {};
        const QColor colour = m_watch->colour(m_cell);
        return GridWatch::tr("赤 %1、緑 %2、青 %3").arg(colour.red()).arg(colour.green()).arg(colour.blue());
    }

    QRect rect() const override
    {
        const QRect cell = m_watch->cellRect(m_cell);
        return cell.translated(m_watch->grid()->mapToGlobal(QPoint(0, 0)));
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.focusable = state.selectable = true;
        state.focused = m_watch->grid()->hasFocus() && m_watch->current == m_cell;
        const int row = m_watch->grid()->property("selectedRow").toInt();
        state.selected = row >= 0 && row * m_watch->columns + m_watch->grid()->property("selectedColumn").toInt() == m_cell;
        return state;
    }

private:
    QPointer<GridWatch> m_watch;
    int m_cell;
};

class ColourGrid final : public QAccessibleWidget {
public:
    ColourGrid(QWidget* grid, GridWatch* watch)
        : QAccessibleWidget(grid, QAccessible::List)
        , m_watch(watch)
    {
    }

    ~ColourGrid() override
    {
        for (const QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return m_watch ? m_watch->rows * m_watch->columns : 0; }

    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (const auto known = m_cells.constFind(index); known != m_cells.constEnd())
            return QAccessible::accessibleInterface(*known);
        auto* cell = new ColourCell(m_watch, index);
        m_cells.insert(index, QAccessible::registerAccessibleInterface(cell));
        return cell;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return m_cells.key(QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child)), -1);
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int cell = 0; cell < childCount(); ++cell) {
            if (child(cell)->rect().contains(x, y))
                return child(cell);
        }
        return nullptr;
    }

private:
    QPointer<GridWatch> m_watch;
    mutable QHash<int, QAccessible::Id> m_cells;
};

QAccessibleInterface* accessibleGrid(const QString& key, QObject* object)
{
    if (key != QLatin1String("QWellArray") || !object || !object->isWidgetType())
        return nullptr;
    auto* grid = static_cast<QWidget*>(object);
    auto* watch = grid->findChild<GridWatch*>(QString(), Qt::FindDirectChildrenOnly);
    return watch ? new ColourGrid(grid, watch) : nullptr;
}

// Watches the dialog's two grids, told apart by their number of cells; a grid that is not
// as expected is left as Qt has it.
void watchGrids(QColorDialog& dialog)
{
    static const bool installed = [] {
        QAccessible::installFactory(&accessibleGrid);
        return true;
    }();
    Q_UNUSED(installed);

    for (QWidget* grid : dialog.findChildren<QWidget*>()) {
        const QMetaObject* type = grid->metaObject();
        const int signal = type->indexOfSignal("currentChanged(int,int)");
        if (qstrcmp(type->className(), "QWellArray") != 0 || signal < 0)
            continue;
        const int columns = grid->sizeHint().width() / GridWatch::CellWidth;
        const int rows = grid->sizeHint().height() / GridWatch::CellHeight;
        const bool custom = rows * columns == QColorDialog::customCount();
        if (!custom && rows * columns != 48) // Qt's basic colours
            continue;
        auto* watch = new GridWatch(grid, rows, columns, custom);
        // The grid's class is Qt's own: its signal is found by its signature.
        QObject::connect(grid, type->method(signal), watch, watch->metaObject()->method(watch->metaObject()->indexOfSlot("moved(int,int)")));
    }
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
    watchGrids(dialog); // first: the colour set next moves the keyboard's cell to it
    dialog.setCurrentColor(toColor(initial));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;

    for (std::size_t i = 0; i < colours.size(); ++i)
        colours[i] = toColourRef(QColorDialog::customColor(static_cast<int>(i)));
    custom = os::packCustomColours(colours);
    return toColourRef(dialog.selectedColor());
}

} // namespace tessaro

#include "colour_dialog_posix.moc"
