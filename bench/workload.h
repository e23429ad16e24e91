#pragma once

// The folders and pictures the benchmark works on, made afresh in a temporary folder.

#include <QSize>
#include <QString>

namespace tessaro::bench {

// A photograph-like JPEG: gradients, edges at several scales and sensor-like noise, so that
// it holds about as many bits per pixel as a camera's picture and its decoding costs what a
// real one does. With `thumbnail`, it also carries a 160 × 120 thumbnail in an EXIF block,
// as a camera writes it. Returns the file's size in bytes; throws std::runtime_error on
// failure.
qint64 writePhoto(const QString& path, QSize size, bool thumbnail = false);

// `count` copies of the picture `photo` in `folder`, named IMG_0001.jpg and on.
void writeBurst(const QString& photo, const QString& folder, int count);

// A "My Pictures" as a user keeps it: `pictures` small pictures (JPEG, BMP and GIF) and a
// couple of files that are not pictures.
void writePictureFolder(const QString& folder, int pictures);

// `total` empty files, `pictures` of them named *.jpg, *.bmp or *.gif in mixed case and the
// rest other things a camera folder holds (*.jpeg and *.png among them, which File1 leaves
// out). The names are not created in sorted order.
void writeManyFiles(const QString& folder, int total, int pictures);

// `count` subfolders with names in mixed case and some in Japanese, empty but for every
// `decoratedEvery`-th one (none when 0), which is decorated as apply leaves a folder: a
// three-line desktop.ini naming the small picture beside it.
void writeManyFolders(const QString& folder, int count, int decoratedEvery = 0);

} // namespace tessaro::bench
