#include "app/accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPointer>

namespace tessaro {
namespace {

// On Linux Qt names a combo box by its current text and leaves its label to say what it is:
// both drive lists would read "/". The drive lists carry names that tell the panes apart,
// and their drive is their value and their text, where Orca reads a combo box's value (Qt
// 6.4 gives the drop-down list no selection that it could read instead).
class NamedComboBox final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit NamedComboBox(QComboBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = box()->view()->isVisible();
        state.readOnly = true;
        return state;
    }

    // The drop-down list, where the user picks a drive.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == box()->view() ? 0 : -1;
    }

    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << showMenuAction(); }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction())
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

    // The text: the drive shown, read-only, nothing selected.
    QString text(int start, int end) const override { return box()->currentText().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(box()->currentText().size()); }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override
    {
        *start = *end = offset;
        return {};
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

// A menu item as Qt has it, with its status tip as its description: a screen reader reads
// why a disabled item is off (Qt gives a menu item no description).
class DescribedMenuItem final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    DescribedMenuItem(QMenu* menu, QAction* action)
        : m_menu(menu)
        , m_action(action)
    {
    }

    bool isValid() const override { return m_menu && m_action; }
    QObject* object() const override { return m_action; }
    QWindow* window() const override { return m_menu ? m_menu->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_menu); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QRect rect() const override { return m_menu->actionGeometry(m_action).translated(m_menu->mapToGlobal(QPoint(0, 0))); }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return QString(m_action->text()).remove(QLatin1Char('&')); // the mnemonic's mark
        if (t == QAccessible::Description)
            return m_action->statusTip();
        return {};
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !m_menu->isVisible() || !m_action->isVisible();
        state.focused = m_menu->activeAction() == m_action;
        state.disabled = !m_action->isEnabled();
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction() && m_action->isEnabled())
            m_action->trigger();
    }

private:
    QPointer<QMenu> m_menu;
    QPointer<QAction> m_action;
};

QAccessibleInterface* accessibleWindow(const QString& key, QObject* object)
{
    if (object && key == QLatin1String("QAction")) {
        auto* action = static_cast<QAction*>(object);
        const QList<QObject*> shownIn = action->associatedObjects();
        auto* menu = shownIn.isEmpty() ? nullptr : qobject_cast<QMenu*>(shownIn.front());
        if (menu && !action->statusTip().isEmpty() && !action->menu() && !action->isSeparator())
            return new DescribedMenuItem(menu, action);
        return nullptr;
    }
    if (!object || !object->isWidgetType())
        return nullptr;
    // A top-level widget is exposed as a client area, which AT-SPI calls a filler: a screen
    // reader then finds no window whose title it could read.
    if (key == QLatin1String("tessaro::Form1"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    if (key == QLatin1String("tessaro::DriveList"))
        return new NamedComboBox(static_cast<QComboBox*>(object));
    return nullptr;
}

} // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(&accessibleWindow);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace tessaro
