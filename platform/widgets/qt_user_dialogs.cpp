#include "platform/widgets/user_dialogs.h"

#include "platform/widgets/colour_dialog.h"

#include <QAccessibleWidget>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace tessaro {

namespace {

// A message box that a screen reader hears as what it is. Qt gives every box the alert
// role, so that a question or a success would be announced as a warning. A success is a
// dialog, as a question is: Orca reads a notification twice.
class MessageBox final : public QMessageBox {
    Q_OBJECT
public:
    MessageBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons, QWidget* parent)
        : QMessageBox(icon, title, text, buttons, parent)
    {
        installRoles();
    }

protected:
    // Qt centres a box on its window, across the window's middle, where the caption of the
    // apply button (as tall as the window) is: a question asked while a command runs would
    // hide what the user pressed. The box opens just below the middle instead.
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        if (!owner || !owner->isVisible())
            return;
        QRect placed = frameGeometry();
        placed.moveCenter(QPoint(owner->frameGeometry().center().x(), placed.center().y()));
        // The box's title bar, not yet there, is as tall as its window's.
        const int titleBar = owner->geometry().top() - owner->frameGeometry().top();
        placed.moveTop(owner->geometry().center().y() + fontMetrics().height() + titleBar);
        if (const QScreen* screen = owner->screen()) {
            const QRect room = screen->availableGeometry();
            placed.moveBottom(std::min(placed.bottom(), room.bottom()));
            placed.moveLeft(std::clamp(placed.left(), room.left(), std::max(room.left(), room.right() - placed.width())));
        }
        move(placed.topLeft());
    }

private:
    static void installRoles();
};

class AccessibleMessageBox final : public QAccessibleWidget {
public:
    explicit AccessibleMessageBox(QMessageBox* box)
        : QAccessibleWidget(box, roleOf(box->icon()))
    {
    }

    // The title names the box; its text is its value, as Qt has it for every message box.
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<QMessageBox*>(widget())->text();
        return QAccessibleWidget::text(t);
    }

private:
    static QAccessible::Role roleOf(QMessageBox::Icon icon)
    {
        return icon == QMessageBox::Warning || icon == QMessageBox::Critical ? QAccessible::AlertMessage : QAccessible::Dialog;
    }
};

QAccessibleInterface* accessibleMessageBox(const QString& key, QObject* object)
{
    if (key == QLatin1String("tessaro::MessageBox") && object && object->isWidgetType())
        return new AccessibleMessageBox(static_cast<QMessageBox*>(object));
    return nullptr;
}

void MessageBox::installRoles()
{
    static const bool installed = [] {
        QAccessible::installFactory(&accessibleMessageBox);
        return true;
    }();
    Q_UNUSED(installed);
}

void tell(QMessageBox::Icon icon, QWidget* parent, const QString& title, const QString& text)
{
    MessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

// Enter gives the answer asked for; Escape and closing the box always keep the files.
bool question(QMessageBox& box, UserDialogs::Default answer)
{
    box.setDefaultButton(answer == UserDialogs::Default::Yes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

// Puts `check` before the box's buttons, where it is shown, in the Tab order and in the order
// a screen reader reads the box: the answer comes last. Qt puts it after them.
void checkBoxFirst(QMessageBox& box, QCheckBox* check)
{
    auto* buttons = box.findChild<QDialogButtonBox*>();
    if (!buttons)
        return;
    check->stackUnder(buttons);
    // In just before the button box, after the widget there, which Qt orders only while it
    // takes the focus (the text does not). Moving the buttons after the check box instead
    // leaves the order as it was with the Windows style.
    QWidget* before = buttons->previousInFocusChain();
    const Qt::FocusPolicy policy = before->focusPolicy();
    before->setFocusPolicy(Qt::TabFocus);
    QWidget::setTabOrder(before, check);
    before->setFocusPolicy(policy);
}

} // namespace

void QtUserDialogs::inform(QWidget* parent, const QString& title, const QString& text)
{
    tell(QMessageBox::Information, parent, title, text);
}

void QtUserDialogs::warn(QWidget* parent, const QString& title, const QString& text)
{
    tell(QMessageBox::Warning, parent, title, text);
}

bool QtUserDialogs::ask(QWidget* parent, const QString& title, const QString& text, Default answer)
{
    MessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    return question(box, answer);
}

bool QtUserDialogs::askWithCheck(QWidget* parent, const QString& title, const QString& text, const QString& check, bool& checked,
                                 Default answer)
{
    // A screen reader reads the box's text when it opens, not the check box below it.
    const QString told = text + QStringLiteral("\n\n")
        + MessageBox::tr("この下のチェック ボックス「%1」は、今は%2です。").arg(check, checked ? MessageBox::tr("オン") : MessageBox::tr("オフ"));
    MessageBox box(QMessageBox::Question, title, told, QMessageBox::Yes | QMessageBox::No, parent);
    // The box owns it and deletes it with itself.
    auto* checkBox = new QCheckBox(check);
    checkBox->setChecked(checked);
    box.setCheckBox(checkBox);
    checkBoxFirst(box, checkBox);
    const bool yes = question(box, answer);
    checked = checkBox->isChecked();
    return yes;
}

std::optional<os::ColourRef> QtUserDialogs::chooseColour(QWidget* parent, os::ColourRef initial, os::CustomColours& custom)
{
    return tessaro::chooseColour(parent, initial, custom);
}

} // namespace tessaro

#include "qt_user_dialogs.moc"
