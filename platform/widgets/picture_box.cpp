#include "platform/widgets/picture_box.h"

#include "platform/os/native_path.h"
#include "platform/os/os_services.h"
#include "platform/widgets/error_text.h"

#include <QAccessibleWidget>
#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QImageReader>
#include <QPainter>
#include <QPromise>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>

namespace tessaro {
namespace {

// A decode stuck this long after it was dropped no longer counts against the pool's threads.
constexpr int StuckMs = 1000;
// How long the program's end waits for decodes to stop.
constexpr int ExitWaitMs = 1000;
// The memory a picture may take decoded whole.
constexpr int PictureLimitMb = 512;

// The messages' translation context.
struct Text {
    Q_DECLARE_TR_FUNCTIONS(tessaro::PictureBox)
};

// libjpeg reports a file that ends early only as a warning and fills the rest of the
// picture with grey; Qt passes the warning to the message handler, on the thread that
// decodes. Catching it here turns a truncated photograph into an error instead of a
// half-grey preview. Other warnings (extraneous bytes before a marker, common in cameras'
// files) leave the picture whole. The handler stays installed once it is: the decodes run on
// worker threads, and a handler swapped in and out around each would race with the others.
class TruncationWatch {
public:
    TruncationWatch()
    {
        static const bool installed = [] {
            s_previous = qInstallMessageHandler(&handler);
            return true;
        }();
        Q_UNUSED(installed);
        t_watch = this;
    }
    ~TruncationWatch() { t_watch = nullptr; }
    TruncationWatch(const TruncationWatch&) = delete;
    TruncationWatch& operator=(const TruncationWatch&) = delete;

    bool truncated() const { return m_truncated; }

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (t_watch
            && (message.contains(QLatin1String("Premature end of JPEG file"), Qt::CaseInsensitive)
                || message.contains(QLatin1String("premature end of data segment"), Qt::CaseInsensitive))) {
            t_watch->m_truncated = true;
            return;
        }
        if (const QtMessageHandler previous = s_previous.load())
            previous(type, context, message);
    }

    bool m_truncated = false;
    static inline thread_local TruncationWatch* t_watch = nullptr;
    static inline std::atomic<QtMessageHandler> s_previous = nullptr;
};

// A file that reads as ended once its reader is no longer wanted. libjpeg cannot be stopped
// in the middle of a picture, but where its data ends early Qt's JPEG reader ends the
// picture, and the rest of it costs next to nothing.
class CancellableFile final : public QFile {
public:
    explicit CancellableFile(const std::function<bool()>& cancelled) : m_cancelled(cancelled) {}

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_cancelled && m_cancelled())
            return 0;
        return QFile::readData(data, maxSize);
    }

private:
    const std::function<bool()>& m_cancelled;
};

// Opens the picture's file without waiting on it: a pipe named like a picture would hold the
// thread until a writer came, and a device is no picture. Empty when it opened.
QString openPicture(const QString& path, QFile& file)
{
    int fd = -1;
    const std::error_code error = os::openRegularFile(toPath(path), fd);
    if (error) {
        switch (os::errorKind(error)) {
        case os::ErrorKind::NotFound: return Text::tr("ファイルが見つかりません。");
        case os::ErrorKind::AccessDenied: return Text::tr("ファイルを読み込む権限がありません。");
        default: return describeError(error);
        }
    }
    // Fails only for a mode a read-only descriptor does not allow, which this is not.
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return Text::tr("ファイルを読み込めません。");
    return {};
}

QString reasonFor(QImageReader::ImageReaderError error)
{
    switch (error) {
    case QImageReader::FileNotFoundError:
        return Text::tr("ファイルが見つかりません。");
    case QImageReader::DeviceError:
        return Text::tr("ファイルを読み込めません。");
    case QImageReader::UnsupportedFormatError:
        return Text::tr("画像ファイルではないか、対応していない形式です。");
    case QImageReader::InvalidDataError:
        return Text::tr("画像のデータが壊れています。");
    case QImageReader::UnknownError:
        break;
    }
    return Text::tr("画像を読み込めません。");
}

// The content of the JPEG's APP1 segment that holds EXIF data, from its TIFF header on;
// empty when the segments before the picture data hold none.
QByteArray exifBlock(QIODevice& jpeg)
{
    if (jpeg.read(2) != QByteArrayView("\xFF\xD8"))
        return {};
    // Cameras put EXIF first or second; a file with this many segments before it is odd enough.
    for (int segment = 0; segment < 32; ++segment) {
        char byte = 0;
        if (!jpeg.getChar(&byte) || byte != '\xFF')
            return {};
        while (byte == '\xFF') { // markers may be padded with fill bytes
            if (!jpeg.getChar(&byte))
                return {};
        }
        const auto marker = static_cast<unsigned char>(byte);
        if (marker == 0xDA || marker == 0xD9) // the picture data or the end: no EXIF before them
            return {};
        const QByteArray length = jpeg.read(2);
        if (length.size() != 2)
            return {};
        const int size = (static_cast<unsigned char>(length[0]) << 8 | static_cast<unsigned char>(length[1])) - 2;
        if (size < 0)
            return {};
        if (marker == 0xE1) {
            const QByteArray data = jpeg.read(size);
            if (data.size() == size && data.startsWith(QByteArrayView("Exif\0\0", 6)))
                return data.mid(6);
        } else if (!jpeg.seek(jpeg.pos() + size)) {
            return {};
        }
    }
    return {};
}

// The thumbnail's JPEG bytes as the second image file directory of the TIFF data places
// them; empty when it names none, or one that is not JPEG or lies outside the data.
QByteArray thumbnailBytes(const QByteArray& tiff)
{
    const bool bigEndian = tiff.startsWith("MM");
    if (!bigEndian && !tiff.startsWith("II"))
        return {};
    const auto number = [&](qint64 at, int bytes) -> std::optional<qint64> {
        if (at < 0 || at + bytes > tiff.size())
            return std::nullopt;
        qint64 value = 0;
        for (int i = 0; i < bytes; ++i) {
            const auto byte = static_cast<unsigned char>(tiff[static_cast<qsizetype>(at + (bigEndian ? i : bytes - 1 - i))]);
            value = value << 8 | byte;
        }
        return value;
    };
    if (number(2, 2) != 42)
        return {};
    const std::optional<qint64> first = number(4, 4);
    const std::optional<qint64> firstCount = first ? number(*first, 2) : std::nullopt;
    const std::optional<qint64> second = firstCount ? number(*first + 2 + 12 * *firstCount, 4) : std::nullopt;
    const std::optional<qint64> count = second && *second != 0 ? number(*second, 2) : std::nullopt;
    if (!count)
        return {};

    qint64 compression = 6; // JPEG, what the thumbnail is unless the directory says otherwise
    std::optional<qint64> offset, length;
    for (qint64 i = 0; i < *count; ++i) {
        const qint64 entry = *second + 2 + 12 * i;
        const std::optional<qint64> tag = number(entry, 2);
        const std::optional<qint64> type = number(entry + 2, 2);
        if (!tag || !type)
            return {};
        // A SHORT (type 3) sits in the first two bytes of the value field, a LONG fills it.
        const std::optional<qint64> value = *type == 3 ? number(entry + 8, 2) : number(entry + 8, 4);
        if (*tag == 0x0103)
            compression = value.value_or(0);
        else if (*tag == 0x0201)
            offset = value;
        else if (*tag == 0x0202)
            length = value;
    }
    if (compression != 6 || !offset || !length || *length == 0 || *offset + *length > tiff.size())
        return {};
    return tiff.mid(static_cast<qsizetype>(*offset), static_cast<qsizetype>(*length));
}

// Previews have a pool of their own: behind a big folder read on the lists' pool, a preview
// would wait for nothing it needs. Two threads, so that a decode no longer wanted, which takes
// a moment to stop, does not hold up the next one; no more, so that a key held down never
// sets decodes against each other on a machine of two cores. Not the application's child:
// its destructor would wait for a decode held by a volume that stopped answering, and the
// program would never end.
QThreadPool* previewPool()
{
    static QThreadPool* const pool = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(2);
        qAddPostRoutine([] {
            previewPool()->clear();
            previewPool()->waitForDone(ExitWaitMs);
        });
        return created;
    }();
    return pool;
}

// How long a decode may take before the box shows that it is loading: a moment the eye
// does not notice, so that an everyday picture never flickers.
constexpr int BusyDelayMs = 200;

// Qt refuses to decode pictures over 128 MB. A format read whole before it is scaled (BMP)
// needs the whole picture in memory for a moment: an 8000 × 8000 one takes 244 MiB.
void allowBigPictures()
{
    static const bool raised = [] {
        QImageReader::setAllocationLimit(std::max(QImageReader::allocationLimit(), PictureLimitMb));
        return true;
    }();
    Q_UNUSED(raised);
}

// Where a decode is: the window's thread gives the pool another thread in place of one that
// a decode no longer wanted still holds after a while (a volume that stopped answering).
enum DecodeState { Queued, Running, RunningReplaced, Ended };

// What a decode hands the window's thread: a stand-in, then the picture or why there is none;
// and the part the folder window shows, measured under the captions.
struct PreviewStep {
    enum class Part { Meanwhile, Picture, Backdrop };
    Part part;
    QImage image;
    QString error;
    QSize fullSize = {};
    std::vector<float> luminances = {};
    std::optional<double> legibility = {};
    bool tooLarge = false;
};

class PromiseJob final : public PreviewJob {
public:
    explicit PromiseJob(QPromise<PreviewStep>& promise) : m_promise(promise) {}
    bool cancelled() const override { return m_promise.isCanceled(); }
    void showMeanwhile(const QImage& image) override { m_promise.addResult(PreviewStep{PreviewStep::Part::Meanwhile, image, {}}); }

private:
    QPromise<PreviewStep>& m_promise;
};

// Screen readers learn from the role that the box is a picture, not a frame around nothing.
QAccessibleInterface* accessiblePicture(const QString& key, QObject* object)
{
    if (key == QLatin1String("tessaro::PictureBox") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    return nullptr;
}

// Reads the picture at `path`, set up by `ask` (a size or a part), and the picture's own size.
LoadedPicture readPicture(const QString& path, const std::function<bool()>& cancelled, const std::function<void(QImageReader&)>& ask)
{
    CancellableFile file(cancelled);
    if (QString problem = openPicture(path, file); !problem.isEmpty())
        return {{}, problem};
    if (file.size() == 0)
        return {{}, Text::tr("ファイルが空です。")};
    // The name's extension tells the reader which format to try first, as a named file would.
    QImageReader reader(&file, QFileInfo(path).suffix().toLatin1());
    reader.setAutoTransform(false);
    allowBigPictures();
    const QSize fullSize = reader.size();
    // A format read whole before it is scaled (BMP, GIF) needs the whole picture in memory.
    if (!reader.supportsOption(QImageIOHandler::ScaledSize) && fullSize.isValid()
        && qint64(fullSize.width()) * fullSize.height() * 4 > qint64(PictureLimitMb) * 1024 * 1024)
        return {{}, Text::tr("画像が大きすぎて表示できません (%1 × %2)。").arg(fullSize.width()).arg(fullSize.height()), fullSize, true};
    ask(reader);

    QImage image;
    bool truncated = false;
    {
        const TruncationWatch watch;
        image = reader.read();
        truncated = watch.truncated();
    }
    if (image.isNull())
        return {{}, reasonFor(reader.error())};
    if (truncated)
        return {{}, Text::tr("ファイルが途中で切れています。")};
    return {std::move(image), {}, fullSize};
}

} // namespace

LoadedPicture loadPicture(const QString& path, QSize size, const std::function<bool()>& cancelled)
{
    return readPicture(path, cancelled, [size](QImageReader& reader) {
        if (size.isValid() && !size.isEmpty())
            reader.setScaledSize(size);
    });
}

LoadedPicture loadTopLeft(const QString& path, QSize area, const std::function<bool()>& cancelled)
{
    // Qt cuts the part out of the whole picture for a format whose reader cannot clip.
    LoadedPicture part = readPicture(path, cancelled, [area](QImageReader& reader) {
        if (reader.size().isValid())
            reader.setClipRect(QRect(QPoint(0, 0), reader.size().boundedTo(area)));
    });
    if (!part.image.isNull() && !part.fullSize.isValid()) {
        part.fullSize = part.image.size();
        part.image = part.image.copy(QRect(QPoint(0, 0), part.image.size().boundedTo(area)));
    }
    return part;
}

QImage exifThumbnail(QIODevice& jpeg, QSize size)
{
    QByteArray bytes = thumbnailBytes(exifBlock(jpeg));
    QBuffer buffer(&bytes);
    if (bytes.isEmpty() || !buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(false);
    const QSize natural = reader.size();
    if (!natural.isValid())
        return {};
    if (size.isValid() && !size.isEmpty() && (natural.width() > size.width() || natural.height() > size.height()))
        reader.setScaledSize(size);
    const TruncationWatch watch;
    const QImage image = reader.read();
    return watch.truncated() ? QImage() : image;
}

LoadedPicture decodePreview(const QString& path, QSize size, PreviewJob& job)
{
    {
        QFile file;
        if (openPicture(path, file).isEmpty()) {
            const QImage thumbnail = exifThumbnail(file, size);
            if (!thumbnail.isNull() && !job.cancelled())
                job.showMeanwhile(thumbnail);
        }
    }
    return loadPicture(path, size, [&job] { return job.cancelled(); });
}

// One file's decode, as the window's thread sees it. Dropping it disconnects it, so that
// nothing it still delivers reaches the box.
class PictureBox::Job : public QFutureWatcher<PreviewStep> {
public:
    Job(QString file, QList<QRect> captions, QColor colour, QObject* parent)
        : QFutureWatcher<PreviewStep>(parent)
        , path(std::move(file))
        , captionRects(std::move(captions))
        , captionColour(colour)
    {
    }
    const QString path;
    // What the worker measured the legibility for.
    const QList<QRect> captionRects;
    const QColor captionColour;
    bool pictureDone = false;
    bool backdropDone = false;
    const std::shared_ptr<std::atomic<int>> state = std::make_shared<std::atomic<int>>(Queued);
};

PictureBox::PictureBox(QWidget* parent)
    : QFrame(parent)
    , m_decoder(decodePreview)
    , m_backdropDecoder([](const QString& path, PreviewJob& job) {
        return loadTopLeft(path, FolderIconArea.size(), [&job] { return job.cancelled(); });
    })
    , m_pool(previewPool())
{
    static const bool accessible = [] {
        QAccessible::installFactory(&accessiblePicture);
        return true;
    }();
    Q_UNUSED(accessible);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAccessibleDescription(tr("画像なし"));
    m_busyDelay.setSingleShot(true);
    m_busyDelay.setInterval(BusyDelayMs);
    connect(&m_busyDelay, &QTimer::timeout, this, [this] { setBusy(waiting()); });
    setFolder({}, sampleFolderItems());
}

PictureBox::~PictureBox()
{
    dropJob();
}

QSize PictureBox::pictureSize() const
{
    return contentsRect().size() * devicePixelRatio();
}

void PictureBox::showFile(const QString& path)
{
    dropJob();
    auto promise = std::make_shared<QPromise<PreviewStep>>();
    promise->start();
    Job* job = m_job = new Job(path, m_layout.captionRects(), m_caption, this);
    connect(job, &QFutureWatcherBase::resultReadyAt, this, [this, job](int index) {
        PreviewStep step = job->future().resultAt(index);
        const QString file = job->path;
        switch (step.part) {
        case PreviewStep::Part::Meanwhile:
            display(step.image, file, false);
            break;
        case PreviewStep::Part::Picture:
            job->pictureDone = true;
            display(step.image, file, true);
            if (step.image.isNull()) {
                setBackdrop({});
                updateBusy();
                // The message may wait for the user, the job ending meanwhile.
                Q_EMIT failed(file, step.error, step.tooLarge);
                return;
            }
            break;
        case PreviewStep::Part::Backdrop:
            job->backdropDone = true;
            if (job->captionRects != m_layout.captionRects() || job->captionColour != m_caption || step.image.isNull()) {
                setBackdrop({step.image, step.fullSize, file});
                break;
            }
            // Measured on the worker for the captions and the colour shown now.
            m_backdrop = {step.image, step.fullSize, file};
            m_luminances = std::move(step.luminances);
            m_legibility = step.legibility;
            folderChanged();
            break;
        }
        updateBusy();
    });
    connect(job, &QFutureWatcherBase::finished, this, [this, job] {
        if (job == m_job) {
            dropJob();
            updateBusy();
        }
    });
    job->setFuture(promise->future());
    updateBusy();
    // The figure of the picture shown before would mislead while this one is read; the
    // view itself keeps showing it, dimmed once the wait is noticed.
    if (m_legibility || !m_luminances.empty()) {
        m_luminances.clear();
        m_legibility.reset();
        describe();
        update();
        Q_EMIT legibilityChanged();
    }
    m_pool->start([promise, path, size = pictureSize(), decoder = m_decoder, backdropDecoder = m_backdropDecoder,
                   captions = job->captionRects, colour = m_caption, backdropFirst = m_folderView, state = job->state, pool = m_pool] {
        // A decode dropped before its turn came is not started at all.
        if (!promise->isCanceled()) {
            state->store(Running);
            PromiseJob asked(*promise);
            const auto picture = [&] {
                LoadedPicture loaded = decoder(path, size, asked);
                const bool shown = !loaded.image.isNull();
                PreviewStep step{PreviewStep::Part::Picture, std::move(loaded.image), std::move(loaded.error)};
                step.tooLarge = loaded.tooLarge;
                promise->addResult(std::move(step));
                return shown;
            };
            const auto backdrop = [&] {
                if (promise->isCanceled())
                    return;
                LoadedPicture part = backdropDecoder(path, asked);
                PreviewStep step{PreviewStep::Part::Backdrop, opaqueOnWindow(part.image), std::move(part.error), part.fullSize};
                step.luminances = luminancesUnder(step.image, captions);
                step.legibility = captionContrast(step.luminances, colour);
                promise->addResult(std::move(step));
            };
            // The view shown comes first; the other follows, so that switching costs no wait.
            if (backdropFirst) {
                backdrop();
                if (!promise->isCanceled())
                    picture();
            } else if (picture()) {
                backdrop();
            }
        }
        promise->finish();
        // The thread given in its place goes back.
        if (state->exchange(Ended) == RunningReplaced)
            pool->reserveThread();
    });
}

void PictureBox::setPicture(const QImage& image)
{
    dropJob();
    display(image, {}, true);
    setBackdrop({opaqueOnWindow(image.copy(shownPart(image.size()))), image.size(), {}});
    updateBusy();
}

void PictureBox::clear()
{
    dropJob();
    display({}, {}, true);
    setBackdrop({});
    updateBusy();
}

void PictureBox::setFolderView(bool on)
{
    if (on == m_folderView)
        return;
    m_folderView = on;
    // The icon theme is read when the view is first asked for, not with the first picture.
    if (on && !m_icons)
        m_icons = folderIcons(*style());
    folderChanged();
    updateBusy();
}

void PictureBox::setFolder(const QString& title, const QList<FolderItem>& items)
{
    m_title = title;
    m_items = items;
    m_layout = layOutFolder(items, font());
    measure();
}

void PictureBox::setCaptionColour(QColor colour)
{
    if (colour == m_caption)
        return;
    m_caption = colour;
    m_legibility = captionContrast(m_luminances, m_caption);
    folderChanged();
}

void PictureBox::setBackdrop(Backdrop backdrop)
{
    m_backdrop = std::move(backdrop);
    measure();
}

// Bounded by the captions' pixels, a few thousand, whatever the picture's size. None while
// the corner of the picture asked for is still being read.
void PictureBox::measure()
{
    const bool stale = m_job && !m_job->backdropDone;
    m_luminances = stale ? std::vector<float>() : luminancesUnder(m_backdrop.tile, m_layout.captionRects());
    m_legibility = captionContrast(m_luminances, m_caption);
    folderChanged();
}

void PictureBox::folderChanged()
{
    m_folderShown = QPixmap();
    describe();
    update();
    Q_EMIT legibilityChanged();
}

void PictureBox::setBackdropDecoder(BackdropDecoder decoder)
{
    dropJob();
    m_backdropDecoder = std::move(decoder);
}

void PictureBox::setDecoder(PreviewDecoder decoder, QThreadPool* pool)
{
    dropJob();
    m_decoder = std::move(decoder);
    m_pool = pool;
}

void PictureBox::dropJob()
{
    if (!m_job)
        return;
    m_job->disconnect(this);
    m_job->cancel();
    QTimer::singleShot(StuckMs, m_pool, [state = m_job->state, pool = m_pool] {
        int running = Running;
        if (state->compare_exchange_strong(running, RunningReplaced))
            pool->releaseThread();
    });
    // Not deleted at once: this may run inside the job's own signal.
    m_job->deleteLater();
    m_job = nullptr;
}

void PictureBox::display(const QImage& image, const QString& file, bool complete)
{
    m_image = image;
    m_file = image.isNull() ? QString() : file;
    m_complete = complete;
    describe();
    update();
    Q_EMIT pictureChanged();
}

void PictureBox::describe()
{
    if (m_image.isNull() && m_backdrop.tile.isNull()) {
        setAccessibleDescription(tr("画像なし"));
        return;
    }
    const QString name = QFileInfo(m_image.isNull() ? m_backdrop.file : m_file).fileName();
    QString description = m_folderView ? tr("フォルダでの見え方: %1").arg(name) : name;
    if (const QString said = notes(); !said.isEmpty())
        description += QLatin1Char('\n') + said;
    setAccessibleDescription(description);
}

// The view asked for is still on its way.
bool PictureBox::waiting() const
{
    return m_job && !(m_folderView ? m_job->backdropDone : m_job->pictureDone);
}

// The sign comes once the view asked for has been waited for a moment, and goes at once
// when it arrives or is no longer asked for.
void PictureBox::updateBusy()
{
    if (waiting()) {
        if (!m_busy && !m_busyDelay.isActive())
            m_busyDelay.start();
        return;
    }
    m_busyDelay.stop();
    setBusy(false);
}

void PictureBox::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    update();
}

// The folder window scaled to fit the box, never enlarged.
double PictureBox::folderScale() const
{
    const QSize box = contentsRect().size();
    return std::min({1.0, double(box.width()) / FolderWindowSize.width(), double(box.height()) / FolderWindowSize.height()});
}

QString PictureBox::notes() const
{
    QStringList notes;
    if (m_folderView && !m_backdrop.tile.isNull()) {
        notes << tr("%1 × %2 のフォルダの窓を %3% に縮小")
                     .arg(FolderWindowSize.width())
                     .arg(FolderWindowSize.height())
                     .arg(qRound(folderScale() * 100));
        if (const QString big = bigPictureNote(m_backdrop.size); !big.isEmpty())
            notes << big;
    }
    if (m_legibility && *m_legibility < LegibleContrast && (m_folderView ? !m_backdrop.tile.isNull() : !m_image.isNull()))
        notes << legibilityWarning();
    return notes.join(QLatin1Char('\n'));
}

void PictureBox::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        setFolder(m_title, m_items);
    } else if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange) {
        m_icons.reset();
        folderChanged();
    }
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    if (m_folderView) {
        paintFolderWindow(painter);
    } else if (!m_image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(contentsRect(), m_image);
    }
    paintNotes(painter);
    if (m_busy)
        paintBusy(painter);
}

void PictureBox::paintFolderWindow(QPainter& painter)
{
    if (m_backdrop.tile.isNull())
        return;
    const QSize shown = (QSizeF(FolderWindowSize) * folderScale()).toSize();
    const qreal ratio = devicePixelRatioF();
    if (m_folderShown.isNull() || m_folderShown.size() != shown * ratio) {
        // Drawn at the window's own size, then made smaller as a whole, so that what the box
        // shows is the real window in miniature, its captions' colour blended as the eye sees it.
        if (!m_icons)
            m_icons = folderIcons(*style());
        const QImage window = drawFolderWindow(m_backdrop.tile, m_title, m_items, m_layout, m_caption, font(), *m_icons, palette());
        m_folderShown = QPixmap::fromImage(window.scaled(shown * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_folderShown.setDevicePixelRatio(ratio);
    }
    const QRect box = contentsRect();
    const QRect target(box.left() + (box.width() - shown.width()) / 2, box.top() + (box.height() - shown.height()) / 2, shown.width(),
                       shown.height());
    painter.drawPixmap(target.topLeft(), m_folderShown);
}

// On a dark band over the foot of the view, where it hides the least of what matters.
void PictureBox::paintNotes(QPainter& painter)
{
    const QString text = notes();
    if (text.isEmpty())
        return;
    const QRect box = contentsRect();
    const QRect inner = box.adjusted(4, 0, -4, 0);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const int height = painter.fontMetrics().boundingRect(inner, flags, text).height() + 4;
    const QRect band(box.left(), box.bottom() + 1 - height, box.width(), height);
    painter.fillRect(band, QColor(0, 0, 0, 176));
    painter.setPen(Qt::white);
    painter.drawText(band.adjusted(4, 2, -4, -2), flags, text);
}

void PictureBox::paintBusy(QPainter& painter)
{
    const QRect box = contentsRect();
    QColor veil = palette().color(QPalette::Window);
    veil.setAlpha(150);
    painter.fillRect(box, veil);
    const QString text = tr("読み込み中…");
    const QRect mark = painter.fontMetrics().boundingRect(text).adjusted(-8, -4, 8, 4);
    QRect placed = mark;
    placed.moveCenter(box.center());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(placed, 4, 4);
    painter.drawText(placed, Qt::AlignCenter, text);
}

} // namespace tessaro
