#include "app/japanese.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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

} // namespace tessaro
