#include "platform/user_dialogs.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QWidget>

namespace tessaro {

void QtUserDialogs::inform(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

bool QtUserDialogs::ask(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<os::ColourRef> QtUserDialogs::chooseColour(QWidget* parent, os::CustomColours& custom)
{
    const os::NativeWindow owner = parent ? static_cast<os::NativeWindow>(parent->window()->winId()) : 0;
    return os::chooseColour(owner, custom);
}

} // namespace tessaro
