#include "app/startup.h"

#include "decoration/ini_install.h"
#include "platform/widgets/folder_reading.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QThreadPool>
#include <QTimer>
#include <QTranslator>
#include <QWidget>

namespace tessaro {

void installJapanese(QCoreApplication& app)
{
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);

    // Beside the program on Windows, where Qt is shipped with it; Qt's own folder on Linux.
    auto* translator = new QTranslator(&app);
    const QString folders[] = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
    };
    for (const QString& folder : folders) {
        if (translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return;
        }
    }
    delete translator;
}

void prepareApplication(QApplication& app)
{
    QApplication::setApplicationName(QStringLiteral("Tessaro"));
    QApplication::setApplicationVersion(QStringLiteral(TESSARO_VERSION));
    installJapanese(app);
}

void removeStaleStagingInBackground()
{
    folderReaderPool()->start([] { removeStaleStaging(); });
}

void setIconAfterFirstPaint(QWidget& window)
{
    class FirstPaint final : public QObject {
    public:
        using QObject::QObject;

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) {
                watched->removeEventFilter(this);
                // Once the paint has reached the screen.
                QTimer::singleShot(0, this, [this] {
                    QIcon icon;
                    for (int size : {16, 32, 48, 64, 128, 256})
                        icon.addFile(QStringLiteral(":/icons/tessaro-%1.png").arg(size));
                    QApplication::setWindowIcon(icon);
                    deleteLater();
                });
            }
            return false;
        }
    };
    window.installEventFilter(new FirstPaint(&window));
}

} // namespace tessaro
