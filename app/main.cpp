#include "app/form1.h"
#include "app/startup.h"
#include "platform/os/os_services.h"
#include "platform/widgets/user_dialogs.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

int run(int argc, char* argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("Tessaro " TESSARO_VERSION);
        return 0;
    }
    // Qt's own message for a missing display is a page about platform plugins.
    if (!tessaro::os::displayAvailable()) {
        std::fputs("tessaro: 画面 (DISPLAY) がないため起動できません。画面なしで動かすには: xvfb-run -a tessaro\n", stderr);
        return 1;
    }

    QApplication app(argc, argv);
    tessaro::prepareApplication(app);

    tessaro::QtUserDialogs dialogs;
    tessaro::Form1 window(dialogs);
    tessaro::setIconAfterFirstPaint(window);
    window.show();
    tessaro::removeStaleStagingInBackground();
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    // The window, the application and their workers are taken down inside run().
    tessaro::os::endProgram(run(argc, argv));
}
