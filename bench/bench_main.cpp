// Holds Tessaro to floors measured in the same run on the same machine, and prints the
// figures as a Markdown table. scripts/bench.sh builds and runs it; see README.md.
//
//   tessaro_bench [--runs N]
//
// Every program runs with QT_QPA_PLATFORM=offscreen. Tessaro is tessaro_probe (app/main.cpp's
// start plus the probe), the window floors are floor_form and floor_window; all lie beside
// this program.

#include "ini_reading.h"
#include "measure.h"
#include "process.h"
#include "workload.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <sys/utsname.h>
#include <unistd.h>

namespace tessaro::bench {
namespace {

constexpr int MyPicturesCount = 50;
constexpr int ManyFiles = 100'000;
constexpr int ManyPictures = 10'000;
constexpr int ManyFolders = 100'000;
// In the decorated case, one folder in this many holds a decoration.
constexpr int DecoratedEvery = 10;
constexpr int BurstCount = 20;
// How long a freshly started window is left alone before its memory is read.
constexpr int IdleMs = 1000;
constexpr int ProbeTimeoutMs = 60'000;

void progress(const char* format, const std::string& what = {})
{
    std::fprintf(stderr, format, what.c_str());
    std::fputc('\n', stderr);
}

double milliseconds(long long ns)
{
    return static_cast<double>(ns) / 1e6;
}

// The kernel's kB are KiB; the table's MB are millions of bytes.
double megabytes(long long kb)
{
    return static_cast<double>(kb) * 1024.0 / 1e6;
}

std::string str(const QString& s)
{
    return QFile::encodeName(s).toStdString();
}

// Splits "word number number" as the probes report.
std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> result;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at)
            result.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return result;
}

struct Setting {
    std::string probe;        // tessaro_probe
    std::string floorWindow;  // floor_window
    std::string floorForm;    // floor_form
    std::string myPictures;
    std::string errorLog;
};

// Expects the next line of `child` to start with `word`; returns its numbers.
std::vector<long long> expectLine(Child& child, const char* word, const Setting& s)
{
    const std::optional<std::string> line = readLine(child, ProbeTimeoutMs);
    if (!line)
        throw std::runtime_error(std::string("no \"") + word + "\" from the program; see " + s.errorLog);
    const std::vector<std::string> parts = words(*line);
    if (parts.empty() || parts[0] != word)
        throw std::runtime_error("unexpected report \"" + *line + "\"; see " + s.errorLog);
    std::vector<long long> numbers;
    for (std::size_t i = 1; i < parts.size(); ++i)
        numbers.push_back(std::stoll(parts[i]));
    return numbers;
}

std::vector<std::string> probeArgs(const Setting& s, std::vector<std::string> more = {})
{
    std::vector<std::string> args = {s.probe, s.myPictures, std::to_string(MyPicturesCount)};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

struct Startup {
    double ms;
    double rssMb;
    double pssMb;
};

// Spawn to first paint, then the idle window's memory.
Startup startup(const std::vector<std::string>& argv, const Setting& s)
{
    Child child = spawn(argv, Stdout::Capture, s.errorLog);
    const long long painted = expectLine(child, "painted", s).at(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(IdleMs));
    const std::string proc = "/proc/" + std::to_string(child.pid);
    const long long rss = kilobytesOf(readSmallFile(proc + "/status"), "VmRSS:").value_or(-1);
    const long long pss = kilobytesOf(readSmallFile(proc + "/smaps_rollup"), "Pss:").value_or(-1);
    stop(child);
    if (rss < 0 || pss < 0)
        throw std::runtime_error("cannot read the memory of " + argv[0]);
    return {milliseconds(painted - child.spawnedNs), megabytes(rss), megabytes(pss)};
}

// Runs each program `runs` times, after one run of each that is not counted (it fills the
// caches all would find filled on a used machine), rotating the order from run to run so
// that a drift of the machine favours none of them.
void interleave(int runs, const std::vector<std::function<void()>>& programs, const std::function<void()>& dropWarmUp)
{
    for (const auto& program : programs)
        program();
    dropWarmUp();
    for (int i = 0; i < runs; ++i) {
        for (std::size_t k = 0; k < programs.size(); ++k)
            programs[(static_cast<std::size_t>(i) + k) % programs.size()]();
    }
}

struct Row {
    std::string what;
    std::string floorName;
    std::optional<Summary> floor;
    Summary tessaro;
    std::string unit;
    // A ratio when there is a floor, else an absolute bound in `unit`; none for a figure
    // shown only to explain another.
    std::optional<double> limit;
    bool limitInUnits = false; // the limit is in `unit` even with a floor
};

std::string figure(const Summary& s, const std::string& unit)
{
    const int decimals = s.median < 10 ? 1 : 0;
    char text[128];
    std::snprintf(text, sizeof text, "%.*f %s (%.*f–%.*f)", decimals, s.median, unit.c_str(), decimals, s.min, decimals, s.max);
    return text;
}

void printTable(const std::vector<Row>& rows)
{
    std::printf("| what | floor | floor figure | Tessaro | ratio | target | |\n");
    std::printf("|---|---|---:|---:|---:|---|---|\n");
    for (const Row& r : rows) {
        char ratio[32] = "–";
        char target[48] = "–";
        const char* verdict = "information";
        if (r.floor)
            std::snprintf(ratio, sizeof ratio, "%.2f", r.tessaro.median / r.floor->median);
        if (r.limit && r.floor && !r.limitInUnits) {
            std::snprintf(target, sizeof target, "≤ %g×", *r.limit);
            verdict = r.tessaro.median / r.floor->median <= *r.limit ? "met" : "**missed**";
        } else if (r.limit) {
            std::snprintf(target, sizeof target, "≤ %.0f %s", *r.limit, r.unit.c_str());
            verdict = r.tessaro.median <= *r.limit ? "met" : "**missed**";
        }
        std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", r.what.c_str(), r.floorName.c_str(),
            r.floor ? figure(*r.floor, r.unit).c_str() : "–", figure(r.tessaro, r.unit).c_str(), ratio, target, verdict);
    }
}

std::string cpuModel()
{
    const std::string info = readSmallFile("/proc/cpuinfo");
    const std::size_t at = info.find("model name");
    if (at == std::string::npos)
        return "unknown CPU";
    const std::size_t colon = info.find(':', at);
    const std::size_t end = info.find('\n', colon);
    return info.substr(colon + 2, end - colon - 2);
}

void printMachine(int runs)
{
    utsname uts{};
    uname(&uts);
    const long long memKb = kilobytesOf(readSmallFile("/proc/meminfo"), "MemTotal:").value_or(0);
    std::printf("Machine: %s, %ld cores online, %.0f GiB, Linux %s; Qt %s, platform offscreen.\n", cpuModel().c_str(),
        sysconf(_SC_NPROCESSORS_ONLN), static_cast<double>(memKb) / 1048576.0, uts.release, qVersion());
    std::printf("Each figure: median (min–max) of %d runs, after one run of each that is not counted.\n\n", runs);
}

int measure(int runs, const QTemporaryDir& root, bool iniOnly);

// The slowest shape of a desktop.ini of a megabyte, read as the target pane reads it.
Row iniRow(int runs, const QTemporaryDir& root)
{
    progress("desktop.ini of a megabyte, in each shape ...");
    const std::vector<IniReading> readings = measureIniReading(root.filePath(QStringLiteral("ini")), runs);
    const auto worst = std::ranges::max_element(readings, {}, [](const IniReading& r) { return summarise(r.tessaroMs).median; });
    return {"a 1 MiB desktop.ini read for a folder's emblem (the reading thread's CPU time), the slowest of "
                + std::to_string(readings.size()) + " shapes (" + worst->shape + ")",
        "the same file read whole and its lines counted", summarise(worst->floorMs), summarise(worst->tessaroMs), "ms", 50.0, true};
}

int run(int runs, bool iniOnly)
{
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/tessaro-bench-XXXXXX"));
    if (!root.isValid())
        throw std::runtime_error("cannot make a temporary folder");
    try {
        const int status = measure(runs, root, iniOnly);
        progress("Removing %s ...", str(root.path()));
        return status;
    } catch (...) {
        // The programs' own messages go with the folder; show them first.
        const std::string log = readSmallFile(str(root.filePath(QStringLiteral("stderr.log"))));
        std::fprintf(stderr, "--- what the programs wrote to stderr (last 4000 characters) ---\n%s\n---\n",
            log.substr(log.size() > 4000 ? log.size() - 4000 : 0).c_str());
        throw;
    }
}

int measure(int runs, const QTemporaryDir& root, bool iniOnly)
{
    if (iniOnly) {
        const std::vector<Row> rows{iniRow(runs, root)};
        printMachine(runs);
        printTable(rows);
        return 0;
    }
    const QString self = QCoreApplication::applicationDirPath();

    Setting s;
    s.probe = str(self + QStringLiteral("/tessaro_probe"));
    s.floorWindow = str(self + QStringLiteral("/floor_window"));
    s.floorForm = str(self + QStringLiteral("/floor_form"));
    s.errorLog = str(root.filePath(QStringLiteral("stderr.log")));
    const QString home = root.filePath(QStringLiteral("home"));
    const QString myPictures = home + QStringLiteral("/Documents/My Pictures");
    s.myPictures = str(myPictures);
    const QString photos = root.filePath(QStringLiteral("photos"));
    const QString filesParent = root.filePath(QStringLiteral("many-files"));
    const QString filesFolder = filesParent + QStringLiteral("/camera");
    const QString foldersParent = root.filePath(QStringLiteral("many-folders"));
    const QString foldersFolder = foldersParent + QStringLiteral("/albums");
    const QString decoratedParent = root.filePath(QStringLiteral("decorated-folders"));
    const QString decoratedFolder = decoratedParent + QStringLiteral("/albums");

    progress("Making the pictures and folders in %s ...", str(root.path()));
    writePictureFolder(myPictures, MyPicturesCount);
    QDir().mkpath(photos);
    const qint64 size24 = writePhoto(photos + QStringLiteral("/photo-24mp.jpg"), {6000, 4000});
    const qint64 size96 = writePhoto(photos + QStringLiteral("/photo-96mp.jpg"), {12000, 8000});
    const QString cameraFolder = root.filePath(QStringLiteral("camera"));
    QDir().mkpath(cameraFolder);
    const QString camera = cameraFolder + QStringLiteral("/camera-24mp.jpg");
    const qint64 sizeCamera = writePhoto(camera, {6000, 4000}, true);
    const QString burst = root.filePath(QStringLiteral("burst"));
    writeBurst(camera, burst, BurstCount);
    writePictureFolder(photos, 1);  // a small picture to click between the large ones
    writeManyFiles(filesFolder, ManyFiles, ManyPictures);
    writeManyFolders(foldersFolder, ManyFolders);
    writeManyFolders(decoratedFolder, ManyFolders, DecoratedEvery);

    // Both programs start as the user's would: in the home folder, with its documents folder
    // where the desktop puts it.
    qputenv("HOME", QFile::encodeName(home));
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR", "XDG_PICTURES_DIR"})
        qunsetenv(variable);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString runtime = root.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("LANG", "C.UTF-8");
    qputenv("LC_ALL", "C.UTF-8");
    QDir::setCurrent(home);

    const std::vector<std::string> findFiles = {"find", str(filesFolder), "-maxdepth", "1", "(", "-iname", "*.bmp",
        "-o", "-iname", "*.jpg", "-o", "-iname", "*.gif", ")"};
    const std::vector<std::string> findFolders = {"find", str(foldersFolder), "-maxdepth", "1", "-type", "d"};
    // The floors must do the work they stand for: a count that differs means a broken workload.
    const auto lines = [](const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); };
    if (lines(outputOf(findFiles, s.errorLog)) != ManyPictures)
        throw std::runtime_error("find does not see the pictures that were made");
    if (lines(outputOf(findFolders, s.errorLog)) != ManyFolders + 1)
        throw std::runtime_error("find does not see the folders that were made");
    const std::vector<std::string> findDecorated = {"find", str(decoratedFolder), "-maxdepth", "1", "-type", "d"};
    if (lines(outputOf(findDecorated, s.errorLog)) != ManyFolders + 1)
        throw std::runtime_error("find does not see the decorated folders that were made");

    std::vector<Row> rows;

    progress("Start-up and idle memory ...");
    {
        std::vector<double> formMs, formRss, formPss, floorMs, floorRss, floorPss, japaneseMs, japaneseRss, ms, rss, pss;
        const auto form = [&] {
            const Startup r = startup({s.floorForm, s.myPictures}, s);
            formMs.push_back(r.ms);
            formRss.push_back(r.rssMb);
            formPss.push_back(r.pssMb);
        };
        const auto floor = [&] {
            const Startup r = startup({s.floorWindow}, s);
            floorMs.push_back(r.ms);
            floorRss.push_back(r.rssMb);
            floorPss.push_back(r.pssMb);
        };
        const auto japaneseFloor = [&] {
            const Startup r = startup({s.floorWindow, "--japanese"}, s);
            japaneseMs.push_back(r.ms);
            japaneseRss.push_back(r.rssMb);
        };
        const auto tessaro = [&] {
            const Startup r = startup(probeArgs(s), s);
            ms.push_back(r.ms);
            rss.push_back(r.rssMb);
            pss.push_back(r.pssMb);
        };
        interleave(runs, {form, floor, japaneseFloor, tessaro}, [&] {
            for (auto* v : {&formMs, &formRss, &formPss, &floorMs, &floorRss, &floorPss, &japaneseMs, &japaneseRss, &ms, &rss, &pss})
                v->clear();
        });
        const std::string plainForm = "the same window in plain Qt, filled at once";
        rows.push_back({"start-up: spawn to the window painted, Dir1 and File1 filled (50 pictures)", plainForm,
            summarise(formMs), summarise(ms), "ms", 1.05});
        rows.push_back({"… the same against a bare window", "bare Qt window, one label", summarise(floorMs), summarise(ms), "ms",
            std::nullopt});
        rows.push_back({"… the same against a bare window whose label is Japanese", "bare Qt window, one Japanese label",
            summarise(japaneseMs), summarise(ms), "ms", std::nullopt});
        rows.push_back({"idle window after start-up: resident memory (VmRSS)", plainForm, summarise(formRss), summarise(rss), "MB",
            1.03});
        rows.push_back({"… the same against a bare window", "bare Qt window, one label", summarise(floorRss), summarise(rss), "MB",
            std::nullopt});
        rows.push_back({"… the same against a bare window whose label is Japanese", "bare Qt window, one Japanese label",
            summarise(japaneseRss), summarise(rss), "MB", std::nullopt});
        rows.push_back({"idle window after start-up: proportional memory (Pss)", plainForm, summarise(formPss), summarise(pss), "MB",
            std::nullopt});
    }

    for (const auto& [name, megapixels, bytes] :
        {std::tuple{QStringLiteral("photo-24mp.jpg"), 24, size24}, std::tuple{QStringLiteral("photo-96mp.jpg"), 96, size96}}) {
        progress("Preview of %s ...", str(name));
        const std::string file = str(photos + QLatin1Char('/') + name);
        std::vector<double> floorMs, firstMs, againMs, firstGrowth, againGrowth, firstStall, againStall;
        const auto djpeg = [&] {
            floorMs.push_back(milliseconds(timeToExit({"djpeg", "-scale", "1/8", "-outfile", "/dev/null", file}, s.errorLog)));
        };
        // The picture, another one, the picture again: the first preview after start-up also
        // loads Qt's JPEG plugin, a later one does not.
        const auto tessaro = [&] {
            Child child = spawn(probeArgs(s, {"preview", str(photos), str(name), "写真 001.bmp"}), Stdout::Capture, s.errorLog);
            expectLine(child, "painted", s);
            const std::vector<long long> first = expectLine(child, "preview", s);
            const std::vector<long long> again = expectLine(child, "preview", s);
            waitExit(child, ProbeTimeoutMs);
            firstMs.push_back(milliseconds(first.at(0)));
            firstGrowth.push_back(megabytes(first.at(1)));
            firstStall.push_back(milliseconds(first.at(2)));
            againMs.push_back(milliseconds(again.at(0)));
            againGrowth.push_back(megabytes(again.at(1)));
            againStall.push_back(milliseconds(again.at(2)));
        };
        interleave(runs, {djpeg, tessaro}, [&] {
            for (auto* v : {&floorMs, &firstMs, &againMs, &firstGrowth, &againGrowth, &firstStall, &againStall})
                v->clear();
        });
        const std::string mp = std::to_string(megapixels) + " MP JPEG (" + std::to_string(bytes / 1'000'000) + " MB)";
        rows.push_back({"preview of a " + mp + ": click to painted, first picture after start-up", "`djpeg -scale 1/8`",
            summarise(floorMs), summarise(firstMs), "ms", 1.3});
        rows.push_back({"preview of a " + mp + ": click to painted, a later picture", "`djpeg -scale 1/8`", summarise(floorMs),
            summarise(againMs), "ms", 1.3});
        rows.push_back({"… growth of the peak resident memory (VmHWM) over the first preview", "–", std::nullopt,
            summarise(firstGrowth), "MB", megapixels == 96 ? std::optional(30.0) : std::nullopt});
        rows.push_back({"… the event loop's longest stall over the first preview (ticker every 5 ms)", "–", std::nullopt,
            summarise(firstStall), "ms", megapixels == 96 ? std::optional(50.0) : std::nullopt});
        rows.push_back({"… the same over a later preview", "–", std::nullopt, summarise(againStall), "ms",
            megapixels == 96 ? std::optional(50.0) : std::nullopt});
    }

    {
        progress("A camera's picture with its thumbnail ...");
        const std::string file = str(camera);
        std::vector<double> floorMs, firstMs, wholeMs;
        const auto djpeg = [&] {
            floorMs.push_back(milliseconds(timeToExit({"djpeg", "-scale", "1/8", "-outfile", "/dev/null", file}, s.errorLog)));
        };
        const auto tessaro = [&] {
            Child child = spawn(probeArgs(s, {"camera", str(cameraFolder), "camera-24mp.jpg"}), Stdout::Capture, s.errorLog);
            expectLine(child, "painted", s);
            const std::vector<long long> r = expectLine(child, "camera", s);
            waitExit(child, ProbeTimeoutMs);
            firstMs.push_back(milliseconds(r.at(0)));
            wholeMs.push_back(milliseconds(r.at(1)));
        };
        interleave(runs, {djpeg, tessaro}, [&] {
            for (auto* v : {&floorMs, &firstMs, &wholeMs})
                v->clear();
        });
        const std::string mp = "24 MP JPEG (" + std::to_string(sizeCamera / 1'000'000) + " MB) with a 160 × 120 EXIF thumbnail";
        rows.push_back({"camera's " + mp + ": click to the first picture painted, first after start-up", "`djpeg -scale 1/8`",
            summarise(floorMs), summarise(firstMs), "ms", std::nullopt});
        rows.push_back({"… click to the whole picture painted", "`djpeg -scale 1/8`", summarise(floorMs), summarise(wholeMs), "ms", 1.3});
    }

    {
        progress("Holding Down through a burst of pictures ...");
        const std::string last = str(burst + QStringLiteral("/IMG_%1.jpg").arg(BurstCount, 4, 10, QLatin1Char('0')));
        std::vector<double> floorMs, ms, stall;
        const auto djpeg = [&] {
            floorMs.push_back(milliseconds(timeToExit({"djpeg", "-scale", "1/8", "-outfile", "/dev/null", last}, s.errorLog)));
        };
        const auto tessaro = [&] {
            Child child = spawn(probeArgs(s, {"hold", str(burst), std::to_string(BurstCount)}), Stdout::Capture, s.errorLog);
            expectLine(child, "painted", s);
            const std::vector<long long> r = expectLine(child, "hold", s);
            waitExit(child, ProbeTimeoutMs);
            ms.push_back(milliseconds(r.at(0)));
            stall.push_back(milliseconds(r.at(1)));
        };
        interleave(runs, {djpeg, tessaro}, [&] {
            for (auto* v : {&floorMs, &ms, &stall})
                v->clear();
        });
        rows.push_back({"Down held through " + std::to_string(BurstCount) + " such pictures (a key every 30 ms): last key to the last picture painted whole",
            "`djpeg -scale 1/8` of that picture", summarise(floorMs), summarise(ms), "ms", 1.2});
        rows.push_back({"… the event loop's longest stall from the first key on (ticker every 5 ms)", "–", std::nullopt, summarise(stall),
            "ms", std::nullopt});
    }

    for (const bool files : {true, false}) {
        progress(files ? "A folder of 100,000 files ..." : "A folder of 100,000 subfolders ...");
        std::vector<double> floorMs, ms, stall;
        const auto find = [&] { floorMs.push_back(milliseconds(timeToExit(files ? findFiles : findFolders, s.errorLog))); };
        const auto tessaro = [&] {
            Child child = spawn(files ? probeArgs(s, {"files", str(filesParent), str(filesFolder), std::to_string(ManyPictures)})
                                      : probeArgs(s, {"dirs", str(foldersParent), str(foldersFolder), std::to_string(ManyFolders)}),
                Stdout::Capture, s.errorLog);
            expectLine(child, "painted", s);
            const std::vector<long long> r = expectLine(child, "folder", s);
            waitExit(child, ProbeTimeoutMs);
            ms.push_back(milliseconds(r.at(0)));
            stall.push_back(milliseconds(r.at(1)));
        };
        interleave(runs, {find, tessaro}, [&] {
            for (auto* v : {&floorMs, &ms, &stall})
                v->clear();
        });
        if (files)
            rows.push_back({"100,000 files, 10,000 pictures: click in Dir1 to File1 painted full", "`find -maxdepth 1 -iname` ×3",
                summarise(floorMs), summarise(ms), "ms", 2.0});
        else
            rows.push_back({"100,000 subfolders: click in Dir1 to Dir1 painted open", "`find -maxdepth 1 -type d`",
                summarise(floorMs), summarise(ms), "ms", 2.0});
        rows.push_back({"… the event loop's longest stall meanwhile (ticker every 5 ms)", "–", std::nullopt, summarise(stall), "ms", 100.0});
    }

    {
        progress("A folder of 100,000 subfolders, every tenth decorated, in Dir2 ...");
        std::vector<double> floorMs, openMs, markedMs, stall;
        const auto find = [&] { floorMs.push_back(milliseconds(timeToExit(findDecorated, s.errorLog))); };
        const auto tessaro = [&] {
            Child child = spawn(probeArgs(s, {"marked", str(decoratedParent), str(decoratedFolder), std::to_string(ManyFolders)}),
                Stdout::Capture, s.errorLog);
            expectLine(child, "painted", s);
            const std::vector<long long> r = expectLine(child, "marked", s);
            waitExit(child, ProbeTimeoutMs);
            openMs.push_back(milliseconds(r.at(0)));
            markedMs.push_back(milliseconds(r.at(1)));
            stall.push_back(milliseconds(r.at(2)));
        };
        interleave(runs, {find, tessaro}, [&] {
            for (auto* v : {&floorMs, &openMs, &markedMs, &stall})
                v->clear();
        });
        rows.push_back({"100,000 subfolders, every tenth decorated: click in Dir2 to Dir2 painted open", "`find -maxdepth 1 -type d`",
            summarise(floorMs), summarise(openMs), "ms", 2.0});
        rows.push_back({"… click to the emblems of every row shown painted", "`find -maxdepth 1 -type d`",
            summarise(floorMs), summarise(markedMs), "ms", 2.0});
        rows.push_back({"… the event loop's longest stall meanwhile (ticker every 5 ms)", "–", std::nullopt, summarise(stall), "ms", 100.0});
    }

    rows.push_back(iniRow(runs, root));
    printMachine(runs);
    printTable(rows);
    return 0;
}

} // namespace
} // namespace tessaro::bench

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int runs = 7;
    bool iniOnly = false;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = args[++i].toInt();
        else if (args[i] == QLatin1String("--desktop-ini"))
            iniOnly = true;
        else {
            std::fprintf(stderr, "usage: tessaro_bench [--runs N] [--desktop-ini]   (N at least 5; --desktop-ini: that figure alone)\n");
            return 2;
        }
    }
    if (runs < 5) {
        std::fprintf(stderr, "tessaro_bench: a median needs at least 5 runs\n");
        return 2;
    }
    try {
        return tessaro::bench::run(runs, iniOnly);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessaro_bench: %s\n", e.what());
        return 1;
    }
}
