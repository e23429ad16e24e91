#include "platform/widgets/user_dialogs.h"

#include "platform/widgets/colour_dialog.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QMessageBox>
#include <QWidget>

namespace tessaro {

namespace {

// The style's icon is the system's own where there is one; a screen reader hears the box as
// an alert whatever its icon.
void tell(QMessageBox::Icon icon, QWidget* parent, const QString& text)
{
    QMessageBox box(icon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
    box.exec();
}

// Enter gives the answer asked for; Escape and closing the box always keep the files.
bool question(QMessageBox& box, UserDialogs::Default answer)
{
    box.setDefaultButton(answer == UserDialogs::Default::Yes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

void QtUserDialogs::inform(QWidget* parent, const QString& text)
{
    tell(QMessageBox::Information, parent, text);
}

void QtUserDialogs::warn(QWidget* parent, const QString& text)
{
    tell(QMessageBox::Warning, parent, text);
}

bool QtUserDialogs::ask(QWidget* parent, const QString& text, Default answer)
{
    QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    return question(box, answer);
}

bool QtUserDialogs::askWithCheck(QWidget* parent, const QString& text, const QString& check, bool& checked, Default answer)
{
    QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    // The box owns it and deletes it with itself.
    auto* checkBox = new QCheckBox(check);
    checkBox->setChecked(checked);
    box.setCheckBox(checkBox);
    const bool yes = question(box, answer);
    checked = checkBox->isChecked();
    return yes;
}

std::optional<os::ColourRef> QtUserDialogs::chooseColour(QWidget* parent, os::ColourRef initial, os::CustomColours& custom)
{
    return tessaro::chooseColour(parent, initial, custom);
}

} // namespace tessaro
