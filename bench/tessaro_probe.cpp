// Tessaro as the benchmark drives it. The start is app/main.cpp's, line for line, so that
// what is timed is the program's real start-up; keep the two alike. The probe only watches
// for the paints the driver asks about and, after start-up, acts as the user would: it
// clicks a picture in File1 or a folder in Dir1, sending the list the mouse events a click
// delivers.
//
//   tessaro_probe MY_PICTURES COUNT
//       reports "painted NS" when the window has painted with Dir1 at MY_PICTURES and
//       File1 holding COUNT names, then idles until it is ended.
//   tessaro_probe MY_PICTURES COUNT preview FOLDER NAME OTHER
//       then moves Dir1 to FOLDER and clicks NAME, OTHER and NAME again, reporting
//       "preview NS KB GAP" for each click on NAME: click to the whole picture painted in the
//       preview, how far the peak resident memory rose meanwhile, and the longest stall of
//       the event loop in between.
//   tessaro_probe MY_PICTURES COUNT camera FOLDER NAME
//       then moves Dir1 to FOLDER and clicks NAME, reporting "camera FIRST WHOLE": click to
//       the first picture painted in the preview (the EXIF thumbnail) and to the whole one.
//   tessaro_probe MY_PICTURES COUNT folderview FOLDER NAME settled|switch|on
//       then moves Dir1 to FOLDER and clicks NAME, the preview's folder view switched on
//       (Check1 clicked) once the whole picture has been painted stretched and the settle
//       pause has passed (settled), the moment it is painted (switch), or before the click
//       (on), reporting "folderview NS GAP FIGURE": the switch (the click, for on) to the
//       folder view painted with the picture's corner, the longest stall of the event loop
//       from then to the view painted, and the time from the corner's decode ending on the
//       preview's worker to the contrast figure painted beside the swatch.
//   tessaro_probe MY_PICTURES COUNT hold FOLDER N
//       then moves Dir1 to FOLDER, clicks its first picture and, once it is shown, presses
//       Down N - 1 times as a held key repeats (every 30 ms), reporting "hold NS GAP": last
//       key to the last picture painted whole, and the longest stall from the first key on.
//   tessaro_probe MY_PICTURES COUNT files|dirs PARENT CHILD N
//       then moves Dir1 to PARENT and clicks its subfolder CHILD, reporting "folder NS GAP":
//       click to File1 painted with N names (files) or Dir1 painted with CHILD's N
//       subfolders (dirs), and the longest stall of the event loop in between.
//   tessaro_probe MY_PICTURES COUNT marked PARENT CHILD N
//       the same in Dir2, whose rows show which folders are decorated, reporting
//       "marked OPEN MARKED GAP": click to Dir2 painted with CHILD's N subfolders, click to
//       Dir2 painted with the marks of every row shown read, and the longest stall of the
//       event loop from the click to the latter.

#include "app/form1.h"
#include "app/startup.h"
#include "measure.h"
#include "paint_watch.h"
#include "platform/os/os_services.h"
#include "platform/widgets/file_list.h"
#include "platform/widgets/folder_list.h"
#include "platform/widgets/picture_box.h"
#include "platform/widgets/user_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace tessaro::bench {
namespace {

// What the settle pauses leave the window: time to finish any deferred work, so that a
// figure holds only the step it names.
constexpr int SettleMs = 300;

// The event-loop ticker's period; a stall shows as a gap far longer than this.
constexpr int TickMs = 5;

// A held key repeats about thirty times a second on the usual desktops.
constexpr int KeyRepeatMs = 30;

void click(QWidget* widget, QPoint at)
{
    const QPointF local(at);
    const QPointF global(widget->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

long long ownKilobytes(const char* key)
{
    return kilobytesOf(readSmallFile("/proc/self/status"), key).value_or(-1);
}

// Makes VmHWM start again from the present resident size, so that the next reading is the
// peak of what follows alone. False on kernels without it.
bool resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

void fail(const char* what)
{
    report("error %s", what);
    std::exit(2);
}

class Probe : public QObject {
public:
    Probe(QWidget& window, const QStringList& args)
        : m_window(window)
        , m_args(args)
        , m_dir1(window.findChild<FolderList*>(QStringLiteral("Dir1")))
        , m_dir2(window.findChild<FolderList*>(QStringLiteral("Dir2")))
        , m_file1(window.findChild<FileList*>(QStringLiteral("File1")))
        , m_image1(window.findChild<PictureBox*>(QStringLiteral("Image1")))
    {
        if (!m_dir1 || !m_dir2 || !m_file1 || !m_image1 || args.size() < 2)
            fail("window-or-arguments");
        const QString myPictures = args[0];
        const int count = args[1].toInt();
        m_watch = std::make_unique<PaintWatch>(&m_window,
            [this, myPictures, count] { return m_dir1->path() == myPictures && m_file1->count() == count; },
            [this](long long ns) {
                report("painted %lld", ns);
                if (m_args.size() > 2)
                    QTimer::singleShot(SettleMs, this, [this] { next(); });
            });
        m_ticker.setTimerType(Qt::PreciseTimer);
        m_ticker.setInterval(TickMs);
        connect(&m_ticker, &QTimer::timeout, this, [this] { m_ticks.push_back(monotonicNs()); });
    }

private:
    void next()
    {
        const QString mode = m_args.value(2);
        if (mode == QLatin1String("preview"))
            preview();
        else if (mode == QLatin1String("camera"))
            camera();
        else if (mode == QLatin1String("hold"))
            hold();
        else if (mode == QLatin1String("folderview"))
            folderView(m_args.value(5));
        else if (mode == QLatin1String("files") || mode == QLatin1String("dirs"))
            folder(mode == QLatin1String("files"));
        else if (mode == QLatin1String("marked"))
            marked();
        else
            fail("mode");
    }

    // Whether the preview shows `name` of File1's folder: whole, or at all.
    bool shows(const QString& name, bool whole) const
    {
        return !m_image1->picture().isNull() && m_image1->file().endsWith(QLatin1Char('/') + name) && (!whole || m_image1->complete());
    }

    // Clicks `name` in File1 and calls `then` with the time the whole picture took to paint in
    // the preview, the growth of the peak resident memory and the longest stall meanwhile.
    void clickPicture(const QString& name, std::function<void(long long, long long, long long)> then)
    {
        const QList<QListWidgetItem*> found = m_file1->findItems(name, Qt::MatchExactly);
        if (found.size() != 1)
            fail("picture-not-listed");
        m_file1->scrollToItem(found.front());
        const bool reset = resetPeak();
        const long long peakBefore = ownKilobytes("VmHWM:");
        m_watch = std::make_unique<PaintWatch>(m_image1, [this, name] { return shows(name, true); },
            [this, then, reset, peakBefore, start = monotonicNs()](long long ns) {
                const long long peakAfter = ownKilobytes("VmHWM:");
                afterTicks(start, ns, [then, ns, start, reset, peakBefore, peakAfter](long long gap) {
                    then(ns - start, reset ? peakAfter - peakBefore : -1, gap);
                });
            });
        click(m_file1->viewport(), m_file1->visualItemRect(found.front()).center());
    }

    // Calls `then` with the longest stall of the event loop over [from, to], once a few more
    // ticks have closed a gap that spans its end.
    void afterTicks(long long from, long long to, std::function<void(long long)> then)
    {
        QTimer::singleShot(10 * TickMs, this, [this, from, to, then] {
            then(longestGap(m_ticks, from, to).value_or(-1));
        });
    }

    void preview()
    {
        if (!m_dir1->setPath(m_args.value(3)))
            fail("preview-folder");
        m_ticker.start();
        const QString name = m_args.value(4);
        const QString other = m_args.value(5);
        QTimer::singleShot(SettleMs, this, [this, name, other] {
            clickPicture(name, [this, name, other](long long ns, long long kb, long long gap) {
                report("preview %lld %lld %lld", ns, kb, gap);
                QTimer::singleShot(SettleMs, this, [this, name, other] {
                    clickPicture(other, [this, name](long long, long long, long long) {
                        QTimer::singleShot(SettleMs, this, [this, name] {
                            clickPicture(name, [](long long againNs, long long againKb, long long againGap) {
                                report("preview %lld %lld %lld", againNs, againKb, againGap);
                                QCoreApplication::quit();
                            });
                        });
                    });
                });
            });
        });
    }

    void camera()
    {
        if (!m_dir1->setPath(m_args.value(3)))
            fail("camera-folder");
        const QString name = m_args.value(4);
        QTimer::singleShot(SettleMs, this, [this, name] {
            const QList<QListWidgetItem*> found = m_file1->findItems(name, Qt::MatchExactly);
            if (found.size() != 1)
                fail("picture-not-listed");
            const long long start = monotonicNs();
            auto first = std::make_shared<long long>(-1);
            m_firstWatch = std::make_unique<PaintWatch>(m_image1, [this, name] { return shows(name, false); },
                [first](long long ns) { *first = ns; });
            m_watch = std::make_unique<PaintWatch>(m_image1, [this, name] { return shows(name, true); },
                [start, first](long long ns) {
                    // Without a thumbnail the first picture painted is the whole one.
                    report("camera %lld %lld", (*first < 0 ? ns : *first) - start, ns - start);
                    QCoreApplication::quit();
                });
            click(m_file1->viewport(), m_file1->visualItemRect(found.front()).center());
        });
    }

    void folderView(const QString& when)
    {
        auto* check1 = m_window.findChild<QCheckBox*>(QStringLiteral("Check1"));
        auto* label5 = m_window.findChild<QLabel*>(QStringLiteral("Label5"));
        if (!check1 || !label5 || !m_dir1->setPath(m_args.value(3)))
            fail("folderview-window");
        // The preview's own reading of the corner, with the moment it ends noted.
        auto decoded = std::make_shared<std::atomic<long long>>(-1);
        m_image1->setBackdropDecoder([decoded](const QString& path, PreviewJob& job) {
            LoadedPicture part = loadTopLeft(path, FolderIconArea.size(), [&job] { return job.cancelled(); });
            decoded->store(monotonicNs());
            return part;
        });
        const QString name = m_args.value(4);
        m_ticker.start();
        QTimer::singleShot(SettleMs, this, [this, check1, label5, name, decoded, when] {
            const QList<QListWidgetItem*> found = m_file1->findItems(name, Qt::MatchExactly);
            if (found.size() != 1)
                fail("picture-not-listed");
            auto start = std::make_shared<long long>(-1);
            auto figure = std::make_shared<long long>(-1);
            auto view = std::make_shared<long long>(-1);
            const auto both = [this, start, figure, view, decoded] {
                if (*figure < 0 || *view < 0)
                    return;
                afterTicks(*start, *view, [start, figure, view, decoded](long long gap) {
                    report("folderview %lld %lld %lld", *view - *start, gap, *figure - decoded->load());
                    QCoreApplication::quit();
                });
            };
            m_firstWatch = std::make_unique<PaintWatch>(label5, [label5] { return !label5->text().isEmpty(); },
                [figure, both](long long ns) {
                    *figure = ns;
                    both();
                });
            // Check1 clicked as the user clicks it; the clock runs from the click.
            const auto switchOn = [this, check1, start, view, both] {
                m_viewWatch = std::make_unique<PaintWatch>(m_image1,
                    [this] { return m_image1->folderView() && m_image1->fullSize().isValid(); },
                    [view, both](long long ns) {
                        *view = ns;
                        both();
                    });
                *start = monotonicNs();
                click(check1, QPoint(8, check1->height() / 2));
            };
            if (when == QLatin1String("on")) {
                switchOn();
                *start = monotonicNs();
            } else {
                m_watch = std::make_unique<PaintWatch>(m_image1, [this, name] { return shows(name, true); },
                    [this, switchOn, settled = when == QLatin1String("settled")](long long) {
                        if (settled)
                            QTimer::singleShot(SettleMs, this, switchOn);
                        else
                            switchOn();
                    });
            }
            click(m_file1->viewport(), m_file1->visualItemRect(found.front()).center());
        });
    }

    void hold()
    {
        if (!m_dir1->setPath(m_args.value(3)))
            fail("hold-folder");
        const int count = m_args.value(4).toInt();
        QTimer::singleShot(SettleMs, this, [this, count] {
            if (m_file1->count() != count)
                fail("hold-count");
            m_file1->setFocus();
            clickPicture(m_file1->item(0)->text(), [this, count](long long, long long, long long) {
                QTimer::singleShot(SettleMs, this, [this, count] {
                    m_ticker.start();
                    const long long firstKey = monotonicNs();
                    auto pressed = std::make_shared<int>(1);
                    auto* repeat = new QTimer(this);
                    repeat->setTimerType(Qt::PreciseTimer);
                    connect(repeat, &QTimer::timeout, this, [this, repeat, pressed, count, firstKey] {
                        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), true);
                        QApplication::sendEvent(m_file1, &press);
                        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier, QString(), true);
                        QApplication::sendEvent(m_file1, &release);
                        if (++*pressed < count)
                            return;
                        repeat->stop();
                        const QString last = m_file1->item(count - 1)->text();
                        if (m_file1->listIndex() != count - 1)
                            fail("hold-selection");
                        m_watch = std::make_unique<PaintWatch>(m_image1, [this, last] { return shows(last, true); },
                            [this, firstKey, lastKey = monotonicNs()](long long ns) {
                                afterTicks(firstKey, ns, [ns, lastKey](long long gap) {
                                    report("hold %lld %lld", ns - lastKey, gap);
                                    QCoreApplication::quit();
                                });
                            });
                    });
                    repeat->start(KeyRepeatMs);
                });
            });
        });
    }

    void folder(bool files)
    {
        const QString parent = m_args.value(3);
        const QString child = m_args.value(4);
        const int count = m_args.value(5).toInt();
        if (!m_dir1->setPath(parent))
            fail("parent-folder");
        m_ticker.start();
        QTimer::singleShot(SettleMs, this, [this, files, child, count] {
            const QModelIndex target = subfolderRow(m_dir1, child.section(QLatin1Char('/'), -1));
            // Let the scroll paint before the clock starts.
            QTimer::singleShot(SettleMs, this, [this, files, child, count, target] {
                m_watch = std::make_unique<PaintWatch>(files ? static_cast<QWidget*>(m_file1) : m_dir1,
                    [this, files, child, count] {
                        if (files)
                            return m_file1->path() == child && m_file1->count() == count;
                        return m_dir1->path() == child && m_dir1->model()->rowCount(m_dir1->currentIndex()) == count;
                    },
                    [this, start = monotonicNs()](long long done) {
                        afterTicks(start, done, [start, done](long long gap) {
                            report("folder %lld %lld", done - start, gap);
                            QCoreApplication::quit();
                        });
                    });
                clickRow(m_dir1, target);
            });
        });
    }

    // The row of `name` among the subfolders of `list`'s current folder, scrolled into view.
    static QModelIndex subfolderRow(FolderList* list, const QString& name)
    {
        const QModelIndex parentIndex = list->currentIndex();
        for (int row = 0; row < list->model()->rowCount(parentIndex); ++row) {
            const QModelIndex index = list->model()->index(row, 0, parentIndex);
            if (index.data().toString() == name) {
                list->scrollTo(index);
                return index;
            }
        }
        fail("child-not-in-tree");
        return {};
    }

    static void clickRow(FolderList* list, const QModelIndex& index)
    {
        // On the folder's name: the row runs on far to the right of the narrow list.
        const QRect row = list->visualRect(index);
        click(list->viewport(), QPoint(std::min(row.left() + 24, list->viewport()->width() - 1), row.center().y()));
    }

    void marked()
    {
        const QString parent = m_args.value(3);
        const QString child = m_args.value(4);
        const int count = m_args.value(5).toInt();
        if (!m_dir2->setPath(parent))
            fail("parent-folder");
        m_ticker.start();
        QTimer::singleShot(SettleMs, this, [this, child, count] {
            const QModelIndex target = subfolderRow(m_dir2, child.section(QLatin1Char('/'), -1));
            QTimer::singleShot(SettleMs, this, [this, child, count, target] {
                const auto open = [this, child, count] {
                    return m_dir2->path() == child && m_dir2->model()->rowCount(m_dir2->currentIndex()) == count;
                };
                auto opened = std::make_shared<long long>(-1);
                m_firstWatch = std::make_unique<PaintWatch>(m_dir2, open, [opened](long long ns) { *opened = ns; });
                m_watch = std::make_unique<PaintWatch>(m_dir2, [this, open] { return open() && !m_dir2->marksPending(); },
                    [this, opened, start = monotonicNs()](long long done) {
                        afterTicks(start, done, [start, done, opened](long long gap) {
                            report("marked %lld %lld %lld", (*opened < 0 ? done : *opened) - start, done - start, gap);
                            QCoreApplication::quit();
                        });
                    });
                clickRow(m_dir2, target);
            });
        });
    }

    QWidget& m_window;
    QStringList m_args;
    FolderList* m_dir1;
    FolderList* m_dir2;
    FileList* m_file1;
    PictureBox* m_image1;
    std::unique_ptr<PaintWatch> m_watch;
    std::unique_ptr<PaintWatch> m_firstWatch;
    std::unique_ptr<PaintWatch> m_viewWatch;
    QTimer m_ticker;
    std::vector<long long> m_ticks;
};

} // namespace
} // namespace tessaro::bench

int main(int argc, char* argv[])
{
    tessaro::bench::dieWithParent();
    // From here on as app/main.cpp starts the window, with the probe attached before it shows.
    QApplication app(argc, argv);
    tessaro::prepareApplication(app);

    tessaro::QtUserDialogs dialogs;
    tessaro::Form1 window(dialogs);
    tessaro::setIconAfterFirstPaint(window);
    tessaro::bench::Probe probe(window, QCoreApplication::arguments().mid(1));
    window.show();
    return QApplication::exec();
}
