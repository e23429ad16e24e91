// Decorates a folder as pressing apply does, for the Windows reader under Wine to read back
// (tests/win/decorated.sh): the real ApplyCommand, every question answered Yes.
//
//   tessaro_decorate PICTURE TARGET_FOLDER COLOUR
//
// Prints each question and message, one per line with its line breaks as " / "; exits 0 when
// the folder holds the decoration.

#include "decoration/apply_command.h"
#include "gui_support.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        std::fputs("usage: tessaro_decorate PICTURE TARGET_FOLDER COLOUR\n", stderr);
        return 2;
    }
    const QFileInfo picture(arguments[1]);
    tessaro::test::FakeDialogs dialogs;
    dialogs.answers = QList<bool>(8, true);
    const bool applied = tessaro::ApplyCommand(dialogs, nullptr)
                             .run({picture.absolutePath(), picture.fileName(), true, arguments[3]}, arguments[2]);
    for (const auto& [kind, texts] : {std::pair{"question", dialogs.questions}, std::pair{"message", dialogs.messages}}) {
        for (QString text : texts)
            std::printf("%s: %s\n", kind, text.replace(QLatin1Char('\n'), QStringLiteral(" / ")).toUtf8().constData());
    }
    return applied ? 0 : 1;
}
