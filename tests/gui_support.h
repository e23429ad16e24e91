#pragma once

// Shared by the tests of widgets and the window: dialogs answered without a modal loop, one
// volume in the place of the machine's, and pictures made on the spot.

#include "fake_volumes.h"
#include "platform/widgets/background_command.h"
#include "platform/widgets/folder_watch.h"
#include "platform/widgets/user_dialogs.h"
#include "test_support.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QtEndian>

#include <functional>

namespace tessaro::test {

// Waits until what the window started in the background (apply, open, take-off) has ended;
// false when it did not end in time.
[[nodiscard]] inline bool commandsEnded(const QWidget& window)
{
    const auto* commands = window.findChild<BackgroundCommand*>();
    return QTest::qWaitFor([commands] { return !commands || !commands->busy(); }, 10000);
}

// Waits until `list` watches `folder` on disk, so that a change made there from now on is
// heard; false when it did not in time.
[[nodiscard]] inline bool watching(const QObject& list, const QString& folder)
{
    return QTest::qWaitFor([&] {
        const auto* watcher = list.findChild<FolderWatch*>();
        return watcher && watcher->folders().contains(folder) && watcher->settled();
    });
}

// Clicks the window's button `name` and waits until what it started has ended.
[[nodiscard]] inline bool press(QWidget& window, const char* name)
{
    QTest::mouseClick(window.findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
    return commandsEnded(window);
}

class FakeDialogs final : public UserDialogs {
public:
    void inform(QWidget*, const QString& title, const QString& text) override
    {
        titles << title;
        messages << text;
    }

    // A failure is a message as any other, and one of the warnings too.
    void warn(QWidget* parent, const QString& title, const QString& text) override
    {
        warnings << text;
        inform(parent, title, text);
    }

    // Answers in turn from `answers`, then No; `whileAsking` runs before the answer, as
    // another program might act while the box is open.
    bool ask(QWidget*, const QString& title, const QString& text, Default answer = Default::No) override
    {
        titles << title;
        questions << text;
        defaults << answer;
        if (whileAsking)
            whileAsking(text);
        return !answers.isEmpty() && answers.takeFirst();
    }

    // Answers as ask() does and leaves the box as `checkAnswer` says, else as offered.
    bool askWithCheck(QWidget* parent, const QString& title, const QString& text, const QString& check, bool& checked,
                      Default answer = Default::No) override
    {
        checks << check;
        offeredChecked << checked;
        if (checkAnswer)
            checked = *checkAnswer;
        return ask(parent, title, text, answer);
    }

    // Cancels unless `colourAnswer` is set. The user's edits of the custom colours,
    // `customEdit`, are left in the colours handed in whether the user then confirms or cancels.
    std::optional<os::ColourRef> chooseColour(QWidget*, os::ColourRef initial, os::CustomColours& custom) override
    {
        offeredColour = initial;
        offeredCustom = custom;
        if (customEdit)
            custom = *customEdit;
        return colourAnswer;
    }

    QStringList messages, warnings, questions, checks;
    QStringList titles; // of every message and question, in turn
    QList<Default> defaults;
    QList<bool> answers, offeredChecked;
    std::optional<bool> checkAnswer;
    std::function<void(const QString& question)> whileAsking;
    std::optional<os::ColourRef> colourAnswer, offeredColour;
    std::optional<os::CustomColours> customEdit;
    os::CustomColours offeredCustom{};
};

// A window of the test's own (the program's Form1 for the window's tests) whose questions
// the test answers. It opens in the home folder the test made: that must exist first.
template <typename Form>
struct WindowOf {
    explicit WindowOf(const TempHome&) : form(dialogs) {}
    template <typename T>
    T* find(const char* name) const { return form.template findChild<T*>(QLatin1String(name)); }
    void press(const char* button) { QVERIFY(test::press(form, button)); }

    FakeDialogs dialogs;
    Form form;
};

// What a file list shows, in its order.
template <typename List>
QStringList entries(const List& list)
{
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names << list.entry(i);
    return names;
}

// The colour dialog's custom colours, `colours` first and black after them.
inline os::CustomColours customColours(std::initializer_list<os::ColourRef> colours)
{
    os::CustomColours bytes{};
    for (std::size_t i = 0; i < colours.size(); ++i)
        qToLittleEndian<quint32>(colours.begin()[i], bytes.data() + 4 * i);
    return bytes;
}

// Colours as the eye tells them apart: a picture scaled or compressed shifts them a little.
inline bool near(QColor a, QColor b, int within = 100)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) < within;
}

// Runs `work` on a worker as the lists run what may wait for a volume, and waits until it
// has ended; false when it did not end in time.
[[nodiscard]] inline bool onAWorker(const VolumeTask::Work& work)
{
    VolumeTask task;
    bool done = false;
    task.start(work, [&done] { done = true; }, {});
    return QTest::qWaitFor([&done] { return done; });
}

// The lists of these tests see the system's volume alone, whatever the machine mounts:
// none of them waits for, or depends on, a mount of the machine it runs on. A test that
// needs other volumes puts its own FakeVolumes in place for a while.
inline FakeVolumes theSystemVolumeAlone;

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

// An uncompressed 24-bit BMP, left half red and right half blue, made row by row: Qt's own
// encoder would need the picture in memory first. `rows` of it: fewer are a file cut short.
inline QByteArray bmpFile(int width, int height, int rows)
{
    const auto u32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
    const int stride = (width * 3 + 3) / 4 * 4;
    QByteArray row(stride, '\0');
    for (int x = 0; x < width; ++x)
        row.replace(x * 3, 3, x < width / 2 ? QByteArray("\x00\x00\xFF", 3) : QByteArray("\xFF\x00\x00", 3)); // B G R
    const quint32 data = quint32(stride) * quint32(height);
    QByteArray bmp = "BM" + u32(54 + data) + u32(0) + u32(54) + u32(40) + u32(quint32(width)) + u32(quint32(height))
        + QByteArray("\x01\x00\x18\x00", 4) + u32(0) + u32(data) + u32(2835) + u32(2835) + u32(0) + u32(0);
    bmp.reserve(54 + qsizetype(data));
    for (int y = 0; y < rows; ++y)
        bmp += row;
    return bmp;
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
