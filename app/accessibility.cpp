#include "app/accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>

namespace tessaro {
namespace {

// On Linux Qt names a combo box by its current text and leaves its label to say what it is:
// both drive lists would read "/". The drive lists carry names that tell the panes apart.
class NamedComboBox final : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->currentText();
        if (t == QAccessible::Name && !box()->accessibleName().isEmpty())
            return box()->accessibleName();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = box()->view()->isVisible();
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

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* accessibleWindow(const QString& key, QObject* object)
{
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
