#pragma once

#include <QFrame>
#include <QImage>
#include <QString>

namespace tessaro {

// A picture read from a file for display, or why it could not be.
struct LoadedPicture {
    QImage image;
    QString error;  // in Japanese, for the user; empty on success
};

// Reads the picture at `path` decoded at `size`, the size it is shown at, ignoring its
// aspect ratio. JPEG then decodes at a reduced scale, which is what lets a camera's
// photograph appear at once and a 100-megapixel one appear at all: a full decode would run
// into Qt's image allocation limit. An animated GIF gives its first frame.
LoadedPicture loadPicture(const QString& path, QSize size);

// A picture stretched to fill its box, inside a single-line border.
class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The size in device pixels at which a picture fills the box.
    QSize pictureSize() const;

    void setPicture(const QImage& image);
    void clear();
    const QImage& picture() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

} // namespace tessaro
