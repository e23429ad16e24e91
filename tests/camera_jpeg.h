#pragma once

// A JPEG as a camera writes it, with its small thumbnail in an EXIF block; Qt writes no EXIF.
// Shared by the tests and the benchmark's pictures.

#include <QByteArray>
#include <QtGlobal>

namespace tessaro::test {

// How the EXIF block is laid out; each field but `thumbnail` can be set wrong on purpose.
struct ExifLayout {
    QByteArray thumbnail;         // the thumbnail's JPEG bytes
    bool bigEndian = false;       // "MM" rather than "II"
    bool linked = true;           // whether the first directory points to the second
    quint16 compression = 6;      // 6 is JPEG
    qint64 offsetShift = 0;       // added to the thumbnail's true offset
};

// `jpeg` with an APP1 segment holding `layout` right after its start, where cameras put it:
// a TIFF header, an empty first directory and a second one naming the thumbnail.
inline QByteArray withExifThumbnail(const QByteArray& jpeg, const ExifLayout& layout)
{
    const auto number = [&](qint64 value, int bytes) {
        QByteArray out(bytes, '\0');
        for (int i = 0; i < bytes; ++i)
            out[layout.bigEndian ? bytes - 1 - i : i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        return out;
    };
    const auto entry = [&](int tag, int type, qint64 value) {
        // A SHORT value sits in the first two bytes of the four-byte field.
        return number(tag, 2) + number(type, 2) + number(1, 4) + (type == 3 ? number(value, 2) + number(0, 2) : number(value, 4));
    };
    const qint64 second = 8 + 6;       // the header, then an empty first directory
    const qint64 at = second + 2 + 3 * 12 + 4;
    QByteArray tiff = QByteArray(layout.bigEndian ? "MM" : "II") + number(42, 2) + number(8, 4);
    tiff += number(0, 2) + number(layout.linked ? second : 0, 4);
    tiff += number(3, 2) + entry(0x0103, 3, layout.compression) + entry(0x0201, 4, at + layout.offsetShift)
        + entry(0x0202, 4, layout.thumbnail.size()) + number(0, 4);
    tiff += layout.thumbnail;
    const QByteArray app1 = QByteArray("Exif\0\0", 6) + tiff;
    const qint64 length = app1.size() + 2;
    return jpeg.left(2) + "\xFF\xE1" + char((length >> 8) & 0xFF) + char(length & 0xFF) + app1 + jpeg.mid(2);
}

} // namespace tessaro::test
