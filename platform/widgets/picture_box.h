#pragma once

#include "platform/widgets/folder_window.h"

#include <QFrame>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

class QIODevice;
class QThreadPool;

namespace tessaro {

// A picture read from a file for display, or why it could not be.
struct LoadedPicture {
    QImage image;
    QString error;  // in Japanese, for the user; empty on success
    QSize fullSize = {}; // the picture's own size, when the file tells it
    bool tooLarge = false; // the picture may be whole: it is only too big to show here
};

// Reads the picture at `path` decoded at `size`, the size it is shown at, ignoring its
// aspect ratio. Only a regular file is read, opened without waiting on it (a pipe). JPEG then decodes at a reduced scale, which is what lets a camera's
// photograph appear at once and a 100-megapixel one appear at all: a full decode would run
// into Qt's image allocation limit. An animated GIF gives its first frame. Once `cancelled`
// says so the file reads as ended, so that a decode nobody waits for stops within a few
// milliseconds; what it returns then is of no use.
LoadedPicture loadPicture(const QString& path, QSize size, const std::function<bool()>& cancelled = {});

// Reads the top-left corner of the picture at `path` at its own pixel size, no larger than
// `area`: what a folder window shows of it. A JPEG's decode ends with the last row needed,
// so that the corner of a photograph costs a fraction of the whole.
LoadedPicture loadTopLeft(const QString& path, QSize area, const std::function<bool()>& cancelled = {});

// The small JPEG a camera stores in the EXIF block of its photographs (160 × 120 as a rule),
// decoded at no more than `size`; a null image when `jpeg` carries none or a broken one.
// Reads only the segments before the picture data.
QImage exifThumbnail(QIODevice& jpeg, QSize size);

// What a decode running on a worker thread may ask of the preview that started it.
class PreviewJob {
public:
    virtual ~PreviewJob() = default;
    // True once the preview no longer wants this picture.
    virtual bool cancelled() const = 0;
    // Shows `image` until the decode ends: a stand-in, such as a camera's thumbnail.
    virtual void showMeanwhile(const QImage& image) = 0;
};
using PreviewDecoder = std::function<LoadedPicture(const QString& path, QSize size, PreviewJob& job)>;
// Reads what the folder window shows of the picture, as loadTopLeft() does.
using BackdropDecoder = std::function<LoadedPicture(const QString& path, PreviewJob& job)>;

// The preview's decoding: the EXIF thumbnail at once, where there is one, then the picture.
LoadedPicture decodePreview(const QString& path, QSize size, PreviewJob& job);

// A picture stretched to fill its box, inside a single-line border, or the folder window as
// its reader draws the picture (folderView()). A file's picture is decoded on a worker
// thread, so that a big photograph never holds the window still; so is the corner the folder
// window shows, after the picture the box shows first, and how well captions read over it.
class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
    ~PictureBox() override;

    // The size in device pixels at which a picture fills the box.
    QSize pictureSize() const;

    // Shows the picture of the file `path`, decoded at pictureSize(). Until it arrives the box
    // keeps what it showed, or shows the file's thumbnail as soon as that is read. A later
    // showFile(), setPicture() or clear() drops this one: the box always ends on the picture
    // asked for last, never on an older one that took longer.
    void showFile(const QString& path);
    void setPicture(const QImage& image);
    void clear();

    const QImage& picture() const { return m_image; }
    // The file picture() comes from; empty for none or a picture given by setPicture().
    QString file() const { return m_file; }
    // False while picture() is a stand-in for the picture of file().
    bool complete() const { return m_complete; }
    // Whether the picture asked for last is still being decoded, for either view.
    bool loading() const { return m_job != nullptr; }
    // Whether the box shows that the view asked for is still loading: the picture dims once
    // the decode has taken longer than a moment.
    bool busy() const { return m_busy; }

    // Shows the folder window instead of the picture stretched, or the picture again.
    void setFolderView(bool on);
    bool folderView() const { return m_folderView; }
    // What the folder window holds besides the picture: its name and its icons.
    void setFolder(const QString& title, const QList<FolderItem>& items);
    // The captions' colour; an invalid colour, for text that names none, leaves no figure.
    void setCaptionColour(QColor colour);
    // The contrast of the captions against the picture behind them in the folder window, as
    // captionContrast() gives it; none without a picture or a colour.
    std::optional<double> legibility() const { return m_legibility; }
    // The size of the picture shown, as its file gives it; invalid without one.
    QSize fullSize() const { return m_backdrop.size; }
    // What the box says over the foot of its view: the folder window's scale, that a big
    // picture shows only its corner, that captions may be hard to read.
    QString notes() const;

    // Replaces the decoding, for tests that need a decode to be slow or to fail on cue.
    void setDecoder(PreviewDecoder decoder, QThreadPool* pool);
    void setBackdropDecoder(BackdropDecoder decoder);

Q_SIGNALS:
    // picture() or file() changed.
    void pictureChanged();
    // The picture asked for last cannot be shown; the box is empty. `reason` is in Japanese.
    // `tooLarge`: the file may be a whole picture, too big to be shown here.
    void failed(const QString& path, const QString& reason, bool tooLarge);
    // legibility() or notes() may have changed.
    void legibilityChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class Job;
    // The picture's top-left as the folder window shows it.
    struct Backdrop {
        QImage tile;
        QSize size;
        QString file;
    };

    void dropJob();
    void display(const QImage& image, const QString& file, bool complete);
    void setBackdrop(Backdrop backdrop);
    void measure();
    void folderChanged();
    void describe();
    bool waiting() const;
    void updateBusy();
    void setBusy(bool busy);
    double folderScale() const;
    void paintFolderWindow(QPainter& painter);
    void paintNotes(QPainter& painter);
    void paintBusy(QPainter& painter);

    QImage m_image;
    QString m_file;
    bool m_complete = true;
    Job* m_job = nullptr;  // a child of the box, dropped by dropJob()
    PreviewDecoder m_decoder;
    BackdropDecoder m_backdropDecoder;
    QThreadPool* m_pool;

    bool m_folderView = false;
    Backdrop m_backdrop;
    QString m_title;
    QList<FolderItem> m_items;
    FolderLayout m_layout;
    QColor m_caption;
    std::vector<float> m_luminances; // under the captions of m_layout
    std::optional<double> m_legibility;
    QPixmap m_folderShown; // the folder window drawn at the box's size; null when out of date
    std::optional<FolderIcons> m_icons;

    bool m_busy = false;
    QTimer m_busyDelay;
};

} // namespace tessaro
