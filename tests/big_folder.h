#pragma once

// A folder far bigger than a list reads on the spot: files of which a tenth are pictures,
// and subfolders, in one folder, with a small folder beside it. The lists read such a folder
// on a worker thread; what they show in the end must be what a small folder would show.

#include "test_support.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace tessaro::test {

// Windows' order: without regard to case.
inline void sortLikeWindows(QStringList& names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        if (const int byKey = QString::compare(a.toCaseFolded(), b.toCaseFolded()); byKey != 0)
            return byKey < 0;
        return a < b;
    });
}

class BigFolder {
public:
    static constexpr int Files = 5'000;
    static constexpr int Folders = 1'000;

    // Fills the folders; a QVERIFY failure inside leaves them half made and the test failed.
    void make()
    {
        QVERIFY(m_dir.isValid());
        QDir root(m_dir.path());
        QVERIFY(root.mkpath(QStringLiteral("big/a folder.jpg"))); // matches, yet is no file
        QVERIFY(root.mkpath(QStringLiteral("big/.hidden")));
        QVERIFY(root.mkpath(QStringLiteral("small")));
        folders << QStringLiteral("a folder.jpg");

        const char* pictureTypes[] = {"jpg", "JPG", "bmp", "Gif"};
        const char* otherTypes[] = {"txt", "jpeg", "png", "jpg.bak"};
        for (int i = 0; i < Files; ++i) {
            const bool picture = i % 10 == 0;
            const QString name = QStringLiteral("%1%2.%3")
                                     .arg(i % 3 ? QStringLiteral("img_") : QStringLiteral("IMG_"))
                                     .arg(i, 5, 10, QLatin1Char('0'))
                                     .arg(QLatin1String(picture ? pictureTypes[i / 10 % 4] : otherTypes[i % 4]));
            writeFile(root.filePath(QStringLiteral("big/") + name), {});
            if (picture)
                pictures << name;
        }
        sortLikeWindows(pictures);

        for (int i = 0; i < Folders; ++i) {
            const QString name = QStringLiteral("%1 %2").arg(i % 2 ? QStringLiteral("Album") : QStringLiteral("album")).arg(i);
            QVERIFY(root.mkdir(QStringLiteral("big/") + name));
            folders << name;
        }
        sortLikeWindows(folders);

        writeFile(root.filePath(QStringLiteral("small/one.jpg")), {});
        writeFile(root.filePath(QStringLiteral("small/two.gif")), {});
    }

    QString path(const QString& relative) const { return QDir::toNativeSeparators(m_dir.filePath(relative)); }

    QStringList pictures; // the big folder's pictures, in the order a list shows them
    QStringList folders;  // its subfolders that a list shows, in order

private:
    QTemporaryDir m_dir;
};

} // namespace tessaro::test
