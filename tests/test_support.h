#pragma once

// Shared by the tests: dialogs answered without a modal loop, a throw-away home folder,
// and pictures made on the spot.

#include "platform/user_dialogs.h"

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <deque>

namespace tessaro::test {

class FakeDialogs final : public UserDialogs {
public:
    void inform(QWidget*, const QString& text) override { messages << text; }

    bool ask(QWidget*, const QString& text) override
    {
        questions << text;
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::optional<os::ColourRef> chooseColour(QWidget*, os::CustomColours& custom) override
    {
        ++colourDialogs;
        offeredCustom = custom;
        if (!colourAnswer)
            return std::nullopt;
        custom = customAnswer;
        return colourAnswer;
    }

    QStringList messages;
    QStringList questions;
    std::deque<bool> answers;

    int colourDialogs = 0;
    os::CustomColours offeredCustom{};
    std::optional<os::ColourRef> colourAnswer;
    os::CustomColours customAnswer{};
};

// A home folder of its own for one test, with the working directory inside it, so that the
// program finds the documents and pictures folders the test made.
class TempHome {
public:
    TempHome()
    {
        QVERIFY(m_dir.isValid());
        m_oldHome = qgetenv("HOME");
        m_oldCwd = QDir::currentPath();
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR", "XDG_PICTURES_DIR"})
            qunsetenv(variable);
        QDir(m_dir.path()).mkpath(QStringLiteral("work"));
        QDir::setCurrent(path(QStringLiteral("work")));
    }
    ~TempHome()
    {
        QDir::setCurrent(m_oldCwd);
        qputenv("HOME", m_oldHome);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    QString path(const QString& relative = {}) const
    {
        return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
    }
    QString mkpath(const QString& relative) const
    {
        QDir(m_dir.path()).mkpath(relative);
        return path(relative);
    }

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
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// A picture whose left half is `left` and right half `right`, so that a preview that is
// mirrored or cropped shows.
inline QImage twoColourImage(QSize size, QColor left, QColor right)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, x < size.width() / 2 ? left : right);
    }
    return image;
}

// Qt reads GIF but cannot write it. Each frame is one colour; the LZW data restarts the
// code table before every pixel, which any decoder reads and needs no real compressor.
inline QByteArray makeGif(QSize size, const QList<QColor>& frames)
{
    const auto bytes = [](std::initializer_list<int> values) {
        QByteArray out;
        for (int v : values)
            out += char(v);
        return out;
    };
    const auto u16 = [&](int v) { return bytes({v & 0xFF, v >> 8}); };
    QByteArray gif = "GIF89a" + u16(size.width()) + u16(size.height()) + QByteArray("\xF1\0\0", 3);
    for (int i = 0; i < 4; ++i) { // a global table of four colours
        const QColor c = frames.value(i, Qt::black);
        gif += bytes({c.red(), c.green(), c.blue()});
    }
    gif += QByteArray::fromHex("21FF0B4E45545343415045322E300301000000"); // loop forever
    for (int frame = 0; frame < frames.size(); ++frame) {
        // 0.1 s per frame; the image's place and size; 3-bit codes (clear = 4, end = 5)
        gif += QByteArray::fromHex("21F904000A0000002C00000000") + u16(size.width()) + u16(size.height()) + QByteArray("\0\2", 2);
        QByteArray data;
        quint32 bits = 0;
        int count = 0;
        const auto put = [&](int code) {
            for (bits |= quint32(code) << count, count += 3; count >= 8; bits >>= 8, count -= 8)
                data += char(bits & 0xFF);
        };
        for (int i = 0; i < size.width() * size.height(); ++i) {
            put(4);
            put(frame);
        }
        put(5);
        data += char(bits & 0xFF);
        for (qsizetype at = 0; at < data.size(); at += 255)
            gif += char(data.mid(at, 255).size()) + data.mid(at, 255);
        gif += char(0);
    }
    return gif + char(0x3B);
}

} // namespace tessaro::test
