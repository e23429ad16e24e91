#pragma once

// Shared by the tests: dialogs answered without a modal loop, a throw-away home folder,
// and pictures made on the spot.

#include "platform/user_dialogs.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace tessaro::test {

class FakeDialogs final : public UserDialogs {
public:
    void inform(QWidget*, const QString& text) override { messages << text; }

    // Answers in turn from `answers`, then No.
    bool ask(QWidget*, const QString& text) override
    {
        questions << text;
        return !answers.isEmpty() && answers.takeFirst();
    }

    // Cancels unless `colourAnswer` is set; an OK hands back `customAnswer` as the custom colours.
    std::optional<os::ColourRef> chooseColour(QWidget*, os::CustomColours& custom) override
    {
        offeredCustom = custom;
        if (colourAnswer)
            custom = customAnswer;
        return colourAnswer;
    }

    QStringList messages, questions;
    QList<bool> answers;
    std::optional<os::ColourRef> colourAnswer;
    os::CustomColours offeredCustom{}, customAnswer{};
};

// A home folder of its own for one test, with the working directory in its "work" folder, so
// that the program finds the documents and pictures folders the test made.
class TempHome {
public:
    TempHome()
        : m_oldHome(qgetenv("HOME"))
        , m_oldCwd(QDir::currentPath())
    {
        QVERIFY(m_dir.isValid());
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR", "XDG_PICTURES_DIR"})
            qunsetenv(variable);
        QDir::setCurrent(mkpath(QStringLiteral("work")));
    }
    ~TempHome()
    {
        QDir::setCurrent(m_oldCwd);
        qputenv("HOME", m_oldHome);
    }

    QString path(const QString& relative = {}) const { return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative); }
    QString mkpath(const QString& relative) const { return QDir(m_dir.path()).mkpath(relative) ? path(relative) : QString(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QString m_oldCwd;
};

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A picture whose left half is `left` and right half `right`, so that a preview that is
// mirrored or cropped shows.
inline QImage twoColourImage(QSize size, QColor left, QColor right)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(left);
    QPainter(&image).fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), right);
    return image;
}

// The file a picture saved as `format` would be; empty when Qt cannot write the format.
inline QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format) ? bytes : QByteArray();
}

// Qt reads GIF but cannot write it. Each frame is one colour; the LZW data restarts the
// code table before every pixel, which any decoder reads and needs no real compressor.
inline QByteArray makeGif(QSize size, const QList<QColor>& frames)
{
    const auto u16 = [](int v) { return QByteArray(1, char(v & 0xFF)) + char(v >> 8); };
    const QByteArray dimensions = u16(size.width()) + u16(size.height());
    QByteArray gif = "GIF89a" + dimensions + QByteArray("\xF1\0\0", 3); // a global table of four colours
    for (int i = 0; i < 4; ++i)
        gif += QByteArray::fromHex(frames.value(i, Qt::black).name().mid(1).toLatin1());
    gif += QByteArray::fromHex("21FF0B4E45545343415045322E300301000000"); // loop forever
    const int pixels = size.width() * size.height();
    for (int frame = 0; frame < frames.size(); ++frame) {
        // 0.1 s per frame; the image's place and size; 3-bit codes (clear = 4, end = 5)
        gif += QByteArray::fromHex("21F904000A0000002C00000000") + dimensions + QByteArray("\0\2", 2);
        QByteArray data;
        quint32 bits = 0;
        int count = 0;
        for (int i = 0; i <= 2 * pixels; ++i) { // clear, pixel, clear, pixel ... end
            for (bits |= quint32(i == 2 * pixels ? 5 : i % 2 ? frame : 4) << count, count += 3; count >= 8; bits >>= 8, count -= 8)
                data += char(bits & 0xFF);
        }
        data += char(bits & 0xFF);
        for (qsizetype at = 0; at < data.size(); at += 255)
            gif += char(data.mid(at, 255).size()) + data.mid(at, 255);
        gif += char(0);
    }
    return gif + char(0x3B);
}

} // namespace tessaro::test
