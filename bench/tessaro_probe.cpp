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
//       "preview NS KB" for each click on NAME: click to the preview painted, and how far
//       the peak resident memory rose meanwhile.
//   tessaro_probe MY_PICTURES COUNT files|dirs PARENT CHILD N
//       then moves Dir1 to PARENT and clicks its subfolder CHILD, reporting "folder NS GAP":
//       click to File1 painted with N names (files) or Dir1 painted with CHILD's N
//       subfolders (dirs), and the longest stall of the event loop in between.

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
#include <QIcon>
#include <QMouseEvent>
#include <QTimer>

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
        , m_file1(window.findChild<FileList*>(QStringLiteral("File1")))
        , m_image1(window.findChild<PictureBox*>(QStringLiteral("Image1")))
    {
        if (!m_dir1 || !m_file1 || !m_image1 || args.size() < 2)
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
        else if (mode == QLatin1String("files") || mode == QLatin1String("dirs"))
            folder(mode == QLatin1String("files"));
        else
            fail("mode");
    }

    // Clicks `name` in File1 and calls `then` with the time the preview took to paint.
    void clickPicture(const QString& name, std::function<void(long long, long long)> then)
    {
        const QList<QListWidgetItem*> found = m_file1->findItems(name, Qt::MatchExactly);
        if (found.size() != 1)
            fail("picture-not-listed");
        m_file1->scrollToItem(found.front());
        const qint64 before = m_image1->picture().cacheKey();
        const bool reset = resetPeak();
        const long long peakBefore = ownKilobytes("VmHWM:");
        m_watch = std::make_unique<PaintWatch>(m_image1,
            [this, before] { return !m_image1->picture().isNull() && m_image1->picture().cacheKey() != before; },
            [this, then, reset, peakBefore, start = monotonicNs()](long long ns) {
                const long long peakAfter = ownKilobytes("VmHWM:");
                then(ns - start, reset ? peakAfter - peakBefore : -1);
            });
        click(m_file1->viewport(), m_file1->visualItemRect(found.front()).center());
    }

    void preview()
    {
        if (!m_dir1->setPath(m_args.value(3)))
            fail("preview-folder");
        const QString name = m_args.value(4);
        const QString other = m_args.value(5);
        QTimer::singleShot(SettleMs, this, [this, name, other] {
            clickPicture(name, [this, name, other](long long ns, long long kb) {
                report("preview %lld %lld", ns, kb);
                QTimer::singleShot(SettleMs, this, [this, name, other] {
                    clickPicture(other, [this, name](long long, long long) {
                        QTimer::singleShot(SettleMs, this, [this, name] {
                            clickPicture(name, [](long long againNs, long long againKb) {
                                report("preview %lld %lld", againNs, againKb);
                                QCoreApplication::quit();
                            });
                        });
                    });
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
            const QModelIndex parentIndex = m_dir1->currentIndex();
            QModelIndex target;
            const QString name = child.section(QLatin1Char('/'), -1);
            for (int row = 0; row < m_dir1->model()->rowCount(parentIndex); ++row) {
                const QModelIndex index = m_dir1->model()->index(row, 0, parentIndex);
                if (index.data().toString() == name)
                    target = index;
            }
            if (!target.isValid())
                fail("child-not-in-tree");
            m_dir1->scrollTo(target);
            // Let the scroll paint before the clock starts.
            QTimer::singleShot(SettleMs, this, [this, files, child, count, target] {
                m_watch = std::make_unique<PaintWatch>(files ? static_cast<QWidget*>(m_file1) : m_dir1,
                    [this, files, child, count] {
                        if (files)
                            return m_file1->path() == child && m_file1->count() == count;
                        return m_dir1->path() == child && m_dir1->model()->rowCount(m_dir1->currentIndex()) == count;
                    },
                    [this, start = monotonicNs()](long long done) {
                        // A few more ticks close the gap that spans the end.
                        QTimer::singleShot(10 * TickMs, this, [this, start, done] {
                            m_ticker.stop();
                            const std::optional<long long> gap = longestGap(m_ticks, start, done);
                            report("folder %lld %lld", done - start, gap.value_or(-1));
                            QCoreApplication::quit();
                        });
                    });
                // On the folder's name: the row runs on far to the right of the narrow list.
                const QRect row = m_dir1->visualRect(target);
                click(m_dir1->viewport(), QPoint(std::min(row.left() + 24, m_dir1->viewport()->width() - 1), row.center().y()));
            });
        });
    }

    QWidget& m_window;
    QStringList m_args;
    FolderList* m_dir1;
    FileList* m_file1;
    PictureBox* m_image1;
    std::unique_ptr<PaintWatch> m_watch;
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
    tessaro::Form1 window(dialogs, QCoreApplication::applicationDirPath());
    tessaro::bench::Probe probe(window, QCoreApplication::arguments().mid(1));
    window.show();
    return QApplication::exec();
}
