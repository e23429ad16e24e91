#pragma once

#include <QFrame>
#include <QImage>
#include <QString>

#include <functional>

class QIODevice;
class QThreadPool;

namespace tessaro {

// A picture read from a file for display, or why it could not be.
struct LoadedPicture {
    QImage image;
    QString error;  // in Japanese, for the user; empty on success
    bool tooLarge = false; // the picture may be whole: it is only too big to show here
};

// Reads the picture at `path` decoded at `size`, the size it is shown at, ignoring its
// aspect ratio. Only a regular file is read, opened without waiting on it (a pipe). JPEG then decodes at a reduced scale, which is what lets a camera's
// photograph appear at once and a 100-megapixel one appear at all: a full decode would run
// into Qt's image allocation limit. An animated GIF gives its first frame. Once `cancelled`
// says so the file reads as ended, so that a decode nobody waits for stops within a few
// milliseconds; what it returns then is of no use.
LoadedPicture loadPicture(const QString& path, QSize size, const std::function<bool()>& cancelled = {});

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

// The preview's decoding: the EXIF thumbnail at once, where there is one, then the picture.
LoadedPicture decodePreview(const QString& path, QSize size, PreviewJob& job);

// A picture stretched to fill its box, inside a single-line border. A file's picture is
// decoded on a worker thread, so that a big photograph never holds the window still.
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
    // Whether the picture asked for last is still being decoded.
    bool loading() const { return m_job != nullptr; }

    // Replaces the decoding, for tests that need a decode to be slow or to fail on cue.
    void setDecoder(PreviewDecoder decoder, QThreadPool* pool);

Q_SIGNALS:
    // picture() or file() changed.
    void pictureChanged();
    // The picture asked for last cannot be shown; the box is empty. `reason` is in Japanese.
    // `tooLarge`: the file may be a whole picture, too big to be shown here.
    void failed(const QString& path, const QString& reason, bool tooLarge);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class Job;
    void dropJob();
    void display(const QImage& image, const QString& file, bool complete);

    QImage m_image;
    QString m_file;
    bool m_complete = true;
    Job* m_job = nullptr;  // a child of the box, dropped by dropJob()
    PreviewDecoder m_decoder;
    QThreadPool* m_pool;
};

} // namespace tessaro
