#include "ini_reading.h"

#include "decoration/folder_decoration.h"
#include "platform/os/native_path.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <ctime>
#include <stdexcept>

namespace tessaro::bench {
namespace {

// As big as a desktop.ini the program reads at all.
constexpr std::size_t Size = 1 << 20;

const std::string Ours = "[{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\n";

// `head`, then `line` as often as fits, then `tail`: Size bytes in all.
std::string filled(const std::string& head, const std::string& line, const std::string& tail)
{
    std::string bytes = head;
    while (bytes.size() + line.size() + tail.size() <= Size)
        bytes += line;
    bytes += tail;
    bytes.resize(Size, '\n');
    return bytes;
}

std::string utf16(const std::string& ascii)
{
    std::string bytes;
    for (char c : ascii)
        bytes += {c, '\0'};
    return bytes;
}

// A byte-order mark, `line` as often as fits and `tail`, all in UTF-16LE: at most Size bytes.
std::string utf16Filled(const std::string& line, const std::string& tail)
{
    std::string bytes = "\xFF\xFE";
    while (bytes.size() + 2 * (line.size() + tail.size()) <= Size)
        bytes += utf16(line);
    return bytes + utf16(tail);
}

struct Shape {
    const char* name;
    std::string bytes;
    bool named = true; // it names a picture, which the emblem says is missing
};

std::vector<Shape> shapes()
{
    const std::string picture = "iconarea_image=sea.jpg\r\niconarea_text=0x000000FF\r\n";
    return {
        {"lines without '=' in our section", filled(Ours, "a\r\n", picture)},
        {"lines without '=' before it", filled("", "a\n", Ours + picture)},
        {"blank lines", filled(Ours, "\r\n", picture)},
        {"one line", filled("", "x", ""), false},
        {"sections", filled("", "[s]\r\n", Ours + picture)},
        {"keys in our section", filled(Ours, "k=v\r\n", picture)},
        {"a value of a megabyte", filled(Ours + "iconarea_image=", "x", "\r\n"), false},
        {"code page 932 comments", filled("", "; \x94\x77\x8c\x69\x82\xcc\x90\xdd\x92\xe8\r\n", Ours + picture)},
        {"names with an ideographic space", filled(Ours, "\x81\x40iconarea_imagf=1\r\n", picture)},
        {"UTF-16LE lines without '='", utf16Filled("a\r\n", Ours + picture)},
    };
}

// The time this thread has run, in milliseconds: what reading costs the worker, whatever else
// the machine runs meanwhile.
double threadMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

} // namespace

std::vector<IniReading> measureIniReading(const QString& base, int runs)
{
    std::vector<IniReading> results;
    for (const Shape& shape : shapes()) {
        const QString folder = QDir(base).filePath(QStringLiteral("ini %1").arg(results.size()));
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/desktop.ini"));
        if (!file.open(QIODevice::WriteOnly) || file.write(shape.bytes.data(), static_cast<qint64>(shape.bytes.size())) != static_cast<qint64>(shape.bytes.size()))
            throw std::runtime_error("cannot write " + file.fileName().toStdString());
        file.close();
        IniReading reading{shape.name, {}, {}};
        const os::Path ini = toPath(file.fileName());
        // One of each first, not counted: the file into the page cache, the code into memory.
        for (int run = -1; run < runs; ++run) {
            double start = threadMs();
            os::Entry entry;
            const bool read = !os::inspect(ini, true, Size, entry);
            volatile auto lines = std::count(entry.bytes.begin(), entry.bytes.end(), '\n');
            (void)lines;
            const double floor = threadMs() - start;
            start = threadMs();
            const FolderMark mark = folderMark(folder);
            const double tessaro = threadMs() - start;
            if (!read || mark.description.isEmpty() == shape.named)
                throw std::runtime_error("the desktop.ini shaped as " + reading.shape + " was not read as written");
            if (run >= 0) {
                reading.floorMs.push_back(floor);
                reading.tessaroMs.push_back(tessaro);
            }
        }
        results.push_back(std::move(reading));
    }
    return results;
}

} // namespace tessaro::bench
