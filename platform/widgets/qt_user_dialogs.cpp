#include "platform/widgets/user_dialogs.h"

#include "platform/widgets/colour_dialog.h"

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

bool QtUserDialogs::ask(QWidget* parent, const QString& text, Default answer)
{
    QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(answer == Default::Yes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<os::ColourRef> QtUserDialogs::chooseColour(QWidget* parent, os::CustomColours& custom)
{
    return tessaro::chooseColour(parent, custom);
}

} // namespace tessaro
