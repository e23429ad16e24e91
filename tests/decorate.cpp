// Decorates a folder as pressing apply does, or takes its decoration off as the target pane's
// menu does, headless: for the Windows reader under Wine to read back (tests/win/decorated.sh)
// and for the fault campaign (tests/fault/campaign.cpp). The real commands, every question
// answered Yes, the picture inside the folder left where it is on a take-off.
//
//   tessaro_decorate PICTURE TARGET_FOLDER COLOUR
//   tessaro_decorate --take-off TARGET_FOLDER
//
// First removes what runs that ended early left in the staging places, as a start of Tessaro
// does. Prints each question and message, one per line with its line breaks as " / "; exits
// 0 when the command did all it was asked. Marks the command's beginning and end for
// the campaign's shim.

#include "decoration/apply_command.h"
#include "decoration/ini_install.h"
#include "decoration/take_off_command.h"
#include "gui_support.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const bool takeOff = arguments.size() == 3 && arguments[1] == QLatin1String("--take-off");
    if (arguments.size() != 4 && !takeOff) {
        std::fputs("usage: tessaro_decorate PICTURE TARGET_FOLDER COLOUR\n       tessaro_decorate --take-off TARGET_FOLDER\n", stderr);
        return 2;
    }
    tessaro::removeStaleStaging();
    tessaro::test::FakeDialogs dialogs;
    dialogs.answers = QList<bool>(8, true);
    // What the campaign's shim counts lies between its two marks; without the shim they are
    // names of no file.
    ::access("\1tessaro-fault-arm", F_OK);
    bool done = false;
    if (takeOff) {
        done = tessaro::TakeOffCommand(dialogs, nullptr).run(arguments[2]);
    } else {
        const QFileInfo picture(arguments[1]);
        done = tessaro::ApplyCommand(dialogs, nullptr).run({picture.absolutePath(), picture.fileName(), true, arguments[3]}, arguments[2]);
    }
    ::access("\1tessaro-fault-disarm", F_OK);
    for (const auto& [kind, texts] : {std::pair{"question", dialogs.questions}, std::pair{"message", dialogs.messages}}) {
        for (QString text : texts)
            std::printf("%s: %s\n", kind, text.replace(QLatin1Char('\n'), QStringLiteral(" / ")).toUtf8().constData());
    }
    return done ? 0 : 1;
}
