#include "workload.h"

#include "camera_jpeg.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaro::bench {
namespace {

std::uint32_t xorshift(std::uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

int clampByte(int v)
{
    return std::clamp(v, 0, 255);
}

void createEmptyFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + native.toStdString());
    ::close(fd);
}

void makeFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        throw std::runtime_error("cannot create " + path.toStdString());
}

// Visits 0..count-1 in a scattered order (count and the step share no factor), so that the
// folder is not written in the order any listing sorts it.
template <typename Visit>
void scattered(int count, Visit visit)
{
    const long long step = 7919;  // a prime that divides none of the counts used here
    for (long long i = 0; i < count; ++i)
        visit(static_cast<int>((i * step) % count));
}

// A GIF of one white pixel; Qt reads GIF but does not write it.
const QByteArray tinyGif = QByteArray::fromHex(
    "47494638396101000100800000ffffff00000021f90401000000002c00000000010001000002024401003b");

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace

qint64 writePhoto(const QString& path, QSize size, bool thumbnail)
{
    QImage image(size, QImage::Format_RGB32);
    std::uint32_t state = 0x9E3779B9u;
    const int w = size.width();
    const int h = size.height();
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            // Large soft areas, mid-sized shapes with hard edges, and fine noise.
            const int shade = ((x / 97) ^ (y / 61)) % 5 * 18 + ((x / 13 + y / 17) % 3) * 6;
            const int noise = static_cast<int>(xorshift(state) & 31u) - 16;
            const int r = 40 + x * 150 / w + shade + noise;
            const int g = 60 + y * 120 / h + shade / 2 + noise;
            const int b = 90 + (x + y) * 80 / (w + h) - shade / 3 + noise;
            line[x] = qRgb(clampByte(r), clampByte(g), clampByte(b));
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    if (!writer.write(image))
        throw std::runtime_error("cannot encode " + path.toStdString() + ": " + writer.errorString().toStdString());
    if (thumbnail) {
        QByteArray small;
        QBuffer smallBuffer(&small);
        smallBuffer.open(QIODevice::WriteOnly);
        image.scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(&smallBuffer, "JPEG", 80);
        jpeg = test::withExifThumbnail(jpeg, {small});
    }
    writeBytes(path, jpeg);
    return QFileInfo(path).size();
}

void writeBurst(const QString& photo, const QString& folder, int count)
{
    makeFolder(folder);
    for (int i = 1; i <= count; ++i) {
        if (!QFile::copy(photo, QDir(folder).filePath(QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0')))))
            throw std::runtime_error("cannot copy " + photo.toStdString());
    }
}

void writePictureFolder(const QString& folder, int pictures)
{
    makeFolder(folder);
    QImage small(640, 480, QImage::Format_RGB32);
    for (int i = 0; i < pictures; ++i) {
        small.fill(QColor::fromHsv(i * 37 % 360, 160, 220));
        const QString stem = QDir(folder).filePath(QStringLiteral("写真 %1").arg(i + 1, 3, 10, QLatin1Char('0')));
        bool written = false;
        switch (i % 10) {
        case 0:
            written = small.scaled(160, 120).save(stem + QStringLiteral(".bmp"), "BMP");
            break;
        case 1:
            writeBytes(stem + QStringLiteral(".gif"), tinyGif);
            written = true;
            break;
        default:
            written = small.save(stem + (i % 3 ? QStringLiteral(".jpg") : QStringLiteral(".JPG")), "JPEG", 85);
        }
        if (!written)
            throw std::runtime_error("cannot write a picture in " + folder.toStdString());
    }
    createEmptyFile(QDir(folder).filePath(QStringLiteral("Thumbs.db")));
    createEmptyFile(QDir(folder).filePath(QStringLiteral("desktop.ini")));
}

void writeManyFiles(const QString& folder, int total, int pictures)
{
    makeFolder(folder);
    static const std::array<const char*, 8> pictureTypes = {"jpg", "JPG", "bmp", "gif", "Jpg", "BMP", "GIF", "jpg"};
    static const std::array<const char*, 9> otherTypes = {"txt", "jpeg", "png", "xmp", "CR2", "json", "tif", "MOV", "jpg.bak"};
    static const std::array<const char*, 5> stems = {"IMG_", "img_", "DSC", "写真_", "Scan "};
    const int every = total / pictures;
    scattered(total, [&](int i) {
        const bool picture = i % every == 0 && i / every < pictures;
        const char* type = picture ? pictureTypes[static_cast<std::size_t>(i / every) % pictureTypes.size()]
                                   : otherTypes[static_cast<std::size_t>(i) % otherTypes.size()];
        const QString name = QStringLiteral("%1%2.%3")
                                 .arg(QString::fromUtf8(stems[static_cast<std::size_t>(i) % stems.size()]))
                                 .arg(i, 6, 10, QLatin1Char('0'))
                                 .arg(QLatin1String(type));
        createEmptyFile(QDir(folder).filePath(name));
    });
}

void writeManyFolders(const QString& folder, int count, int decoratedEvery)
{
    const QByteArray ini = "[{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\niconarea_image=bg.gif\r\niconarea_text=0x00FFFFFF\r\n";
    makeFolder(folder);
    static const std::array<const char*, 5> stems = {"Album ", "album ", "旅行 ", "2023-", "Trip_"};
    scattered(count, [&](int i) {
        const QString name = QStringLiteral("%1%2")
                                 .arg(QString::fromUtf8(stems[static_cast<std::size_t>(i) % stems.size()]))
                                 .arg(i, 6, 10, QLatin1Char('0'));
        const QByteArray native = QFile::encodeName(QDir(folder).filePath(name));
        if (::mkdir(native.constData(), 0755) != 0)
            throw std::runtime_error("cannot create " + native.toStdString());
        if (decoratedEvery > 0 && i % decoratedEvery == 0) {
            const QDir subfolder(QDir(folder).filePath(name));
            writeBytes(subfolder.filePath(QStringLiteral("bg.gif")), tinyGif);
            writeBytes(subfolder.filePath(QStringLiteral("desktop.ini")), ini);
        }
    });
}

} // namespace tessaro::bench
