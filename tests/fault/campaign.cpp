// The fault campaign: apply and take-off run through tessaro_decorate with fault_shim.c
// preloaded, which ends the run just before its N-th file call, or makes that call fail with
// EIO, ENOSPC or EROFS, for every N from the first call to the last.
//
//   tessaro_fault_campaign DRIVER SHIM [--sample K] [--only SCENARIO]
//
// --sample K tries K points of each run per fault, spread over it, instead of every one.
// At every point, in a folder set up afresh:
//   - what a Windows reader reads (read here as the readers of notes/readers.md read it, not
//     by the program's own parser) is the folder's old decoration or the new one;
//   - a run not ended by the fault shows exactly one message, and reports success only when
//     the reader reads the new decoration;
//   - after the next run of the same command, free of faults, the reader reads the new
//     decoration, and neither the folder nor the temporary folder holds a leftover of ours.
// Prints a table of points tried and held, and every point that did not hold; exits 1 then.

#include "platform/os/dos_attributes.h"
#include "tests/posix_support.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include <sys/stat.h>
#include <sys/xattr.h>

using namespace tessaro::test;

namespace {

const QString Section = QStringLiteral("{BE098140-A513-11D0-A3A4-00C04FD706EC}");
const QByteArray Picture = QByteArray("\xFF\xD8\xFF\xE0 the sea, as a picture ").repeated(2000);
const QByteArray OldPicture = QByteArray("\xFF\xD8\xFF\xE0 an older picture ").repeated(500);

void write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void setDosAttributes(const QString& path, const char* value)
{
    if (::lsetxattr(QFile::encodeName(path).constData(), "user.DOSATTRIB", value, std::strlen(value), 0) != 0)
        qFatal("cannot set user.DOSATTRIB on %s", qPrintable(path));
}

std::uint32_t dosAttributes(const QString& path)
{
    const auto value = dosAttrib(path);
    return value ? tessaro::dos::attributesOf(*value).value_or(0xFFFFFFFF) : 0;
}

QString hash(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(12));
}

// The value of `key` in `section` as the profile API finds it: names without regard to case,
// the first section and the first key that match, a section's name ending at the first ']',
// blanks around the value dropped.
std::optional<QString> profileValue(const QString& text, const QString& section, const QString& key)
{
    bool inSection = false, seenSection = false;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            if (inSection)
                return std::nullopt;
            const qsizetype end = trimmed.indexOf(QLatin1Char(']'));
            inSection = !seenSection && trimmed.mid(1, end < 0 ? -1 : end - 1).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            seenSection = seenSection || inSection;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inSection && equals > 0 && line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1).trimmed();
    }
    return std::nullopt;
}

// What a Windows reader of the folder reads: nothing unless the folder is System (or
// ReadOnly); else desktop.ini, its Hidden and System, the picture it names and its bytes.
// With `anyCopyNumber`, a copy's number is left out: of two applies at once, each may find
// the copy's name held for a moment by the other (its copy in place, or being taken back),
// and take the next number; the folder is then as whole under "sea (2).jpg".
QString readerView(const QString& folder, bool anyCopyNumber = false)
{
    if (!(dosAttributes(folder) & (tessaro::dos::System | tessaro::dos::ReadOnly)))
        return QStringLiteral("not read");
    const QString ini = folder + QStringLiteral("/desktop.ini");
    struct stat info {};
    if (::lstat(QFile::encodeName(ini).constData(), &info) != 0)
        return QStringLiteral("System, no desktop.ini");
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("System, desktop.ini no file");
    const QByteArray bytes = readFile(ini);
    const QString text = bytes.startsWith("\xFF\xFE")
        ? QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2)
        : QString::fromLatin1(bytes);
    const std::uint32_t marks = dosAttributes(ini);
    const std::optional<QString> image = profileValue(text, Section, QStringLiteral("IconArea_Image"));
    QByteArray hashed = bytes;
    QString shownImage = image.value_or(QString());
    if (anyCopyNumber && image) {
        static const QRegularExpression number(QStringLiteral(" \\(\\d+\\)(?=\\.[^.]*$)"));
        shownImage.remove(number);
        hashed.replace(image->toLatin1(), shownImage.toLatin1());
    }
    const QString view = QStringLiteral("desktop.ini %1 %2%3").arg(hash(hashed), marks & tessaro::dos::Hidden ? QStringLiteral("H") : QString(),
                                                                marks & tessaro::dos::System ? QStringLiteral("S") : QString());
    if (!image)
        return view;
    // A leading separator still names a file in the folder: "a//b" is "a/b".
    const QString picture = folder + QLatin1Char('/') + QString(*image).replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool there = QFileInfo(picture).isFile();
    return view + QStringLiteral(", picture %1 %2").arg(shownImage, there ? hash(readFile(picture)) : QStringLiteral("missing"));
}

// What of ours a run that ended early can leave: hidden copies in the folder, staging folders.
QStringList leftovers(const QString& folder, const QString& temporary)
{
    QStringList found = entriesOf(folder).filter(QLatin1String(".tessaro-"));
    for (const QString& name : entriesOf(temporary)) {
        if (name.startsWith(QLatin1String("tessaro-")))
            found << QStringLiteral("$TMPDIR/") + name;
    }
    return found;
}

QByteArray lines(const QString& image)
{
    return (QLatin1Char('[') + Section + QStringLiteral("]\r\niconarea_image=%1\r\niconarea_text=0x00FF0000\r\n").arg(image)).toLatin1();
}

// A folder decorated as Windows leaves it: desktop.ini Hidden and System, the folder System.
void decorated(const QString& target, const QByteArray& ini)
{
    write(target + QStringLiteral("/desktop.ini"), ini);
    setDosAttributes(target + QStringLiteral("/desktop.ini"), "0x6");
    setDosAttributes(target, "0x4");
}

struct Scenario {
    const char* name;
    std::function<void(const QString& target)> setup;
    bool takeOff = false;
    bool twoRuns = false;
    const char* picture = "pictures/sea.jpg"; // in the work folder
};

const auto notes = [](const QString& target) { write(target + QStringLiteral("/notes.txt"), "mine"); };
const Scenario scenarios[] = {
    {"apply, fresh folder", notes},
    {"apply, merged into a desktop.ini", [](const QString& target) { decorated(target, "[.ShellClassInfo]\r\nInfoTip=mine\r\n"); }},
    {"apply, picture inside, replacing an older one", [](const QString& target) {
         write(target + QStringLiteral("/写真/海.jpg"), Picture);
         write(target + QStringLiteral("/old.jpg"), OldPicture);
         decorated(target, lines(QStringLiteral("old.jpg")));
     }, false, false, "target/写真/海.jpg"},
    {"take-off, desktop.ini rewritten", [](const QString& target) {
         write(target + QStringLiteral("/sea.jpg"), Picture);
         decorated(target, "[.ShellClassInfo]\r\nInfoTip=mine\r\n" + lines(QStringLiteral("sea.jpg")));
     }, true},
    {"take-off, desktop.ini deleted", [](const QString& target) {
         write(target + QStringLiteral("/sea.jpg"), Picture);
         decorated(target, lines(QStringLiteral("sea.jpg")));
     }, true},
    {"two applies at once", notes, false, true},
};

const char* const Faults[] = {"kill", "EIO", "ENOSPC", "EROFS"};

struct Outcome {
    bool killed = false;
    int exitCode = 0;
    QStringList messages;
};

class Campaign {
public:
    Campaign(QString driver, QString shim, const QString& base) : m_driver(std::move(driver)), m_shim(std::move(shim)), m_work(base) {}

    bool valid() const { return m_work.isValid(); }

    // The reader's view before and after a run free of faults (0 fails no call), and the
    // names of the file calls that run made: one point each.
    std::pair<QString, QString> oldAndNew(const Scenario& scenario, QStringList& calls)
    {
        prepare(scenario);
        const QString before = readerView(target(), scenario.twoRuns);
        const QString trace = m_work.filePath(QStringLiteral("trace"));
        run(scenario, QStringLiteral("0:EIO"), trace);
        calls = QString::fromLatin1(readFile(trace)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return {before, readerView(target(), scenario.twoRuns)};
    }

    // What did not hold at this point; empty when all did.
    QStringList tryPoint(const Scenario& scenario, long point, const char* fault, const std::pair<QString, QString>& views)
    {
        prepare(scenario);
        const QString fault_ = QStringLiteral("%1:%2").arg(point).arg(QLatin1String(fault));
        std::vector<Outcome> outcomes;
        if (scenario.twoRuns) {
            QProcess first, second;
            start(first, scenario, fault_, {});
            start(second, scenario, {}, {});
            outcomes.push_back(finish(first));
            outcomes.push_back(finish(second));
        } else {
            outcomes.push_back(run(scenario, fault_));
        }
        QStringList broken;
        const QString view = readerView(target(), scenario.twoRuns);
        if (view != views.first && view != views.second)
            broken << QStringLiteral("the reader reads neither the old nor the new decoration: %1").arg(view);
        for (const Outcome& outcome : outcomes) {
            if (outcome.killed)
                continue;
            if (outcome.messages.size() != 1)
                broken << QStringLiteral("%1 messages: %2").arg(outcome.messages.size()).arg(outcome.messages.join(QStringLiteral(" | ")));
            const bool success = outcome.messages.size() == 1 && isSuccess(outcome.messages.front());
            if (success != (outcome.exitCode == 0))
                broken << QStringLiteral("exit code %1 with the message: %2").arg(outcome.exitCode).arg(outcome.messages.join(QStringLiteral(" | ")));
            if ((success || outcome.exitCode == 0) && view != views.second)
                broken << QStringLiteral("success reported, but the reader reads %1").arg(view);
        }
        const Outcome next = run(scenario, {});
        const QString nextView = readerView(target(), scenario.twoRuns);
        if (nextView != views.second)
            broken << QStringLiteral("after the next run the reader reads %1 (%2)").arg(nextView, next.messages.join(QStringLiteral(" | ")));
        if (const QStringList left = leftovers(target(), temporary()); !left.isEmpty())
            broken << QStringLiteral("left after the next run: %1").arg(left.join(QStringLiteral(", ")));
        return broken;
    }

private:
    QString target() const { return m_work.filePath(QStringLiteral("target")); }
    QString pictures() const { return m_work.filePath(QStringLiteral("pictures")); }
    QString temporary() const { return m_work.filePath(QStringLiteral("tmp")); }

    void prepare(const Scenario& scenario)
    {
        for (const QString& folder : {target(), pictures(), temporary(), m_work.filePath(QStringLiteral("home"))}) {
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
        }
        write(pictures() + QStringLiteral("/sea.jpg"), Picture);
        scenario.setup(target());
    }

    static bool isSuccess(const QString& message)
    {
        // The second of two applies alike may find the first's decoration there, whole.
        return (message.contains(QStringLiteral("に背景を設定しました")) || message.contains(QStringLiteral("の設定を外しました"))
                || message.contains(QStringLiteral("書き換える必要はありませんでした")))
            && !message.contains(QStringLiteral("ただし"));
    }

    void start(QProcess& process, const Scenario& scenario, const QString& fault, const QString& trace)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), temporary());
        environment.insert(QStringLiteral("HOME"), m_work.filePath(QStringLiteral("home")));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        environment.remove(QStringLiteral("XDG_DATA_HOME"));
        // A sanitizer build's runtime would rather come first; the shim only passes calls on.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
        if (!fault.isEmpty()) {
            environment.insert(QStringLiteral("LD_PRELOAD"), m_shim);
            environment.insert(QStringLiteral("TESSARO_FAULT"), fault);
        }
        if (!trace.isEmpty())
            environment.insert(QStringLiteral("TESSARO_FAULT_TRACE"), trace);
        process.setProcessEnvironment(environment);
        const QStringList arguments = scenario.takeOff
            ? QStringList{QStringLiteral("--take-off"), target()}
            : QStringList{m_work.filePath(QString::fromUtf8(scenario.picture)), target(), QStringLiteral("FF0000")};
        process.start(m_driver, arguments);
    }

    static Outcome finish(QProcess& process)
    {
        if (!process.waitForFinished(60000))
            qFatal("a run did not end within a minute");
        Outcome outcome;
        outcome.killed = process.exitStatus() == QProcess::CrashExit;
        outcome.exitCode = process.exitCode();
        for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("message: ")))
                outcome.messages << line.mid(9);
        }
        return outcome;
    }

    Outcome run(const Scenario& scenario, const QString& fault, const QString& trace = {})
    {
        QProcess process;
        start(process, scenario, fault, trace);
        return finish(process);
    }

    QString m_driver, m_shim;
    QTemporaryDir m_work;
};

// K points of 1..n spread evenly, each fault shifted so that together they cover more of them.
std::vector<long> pointsToTry(long n, long sample, int shift)
{
    std::vector<long> points;
    if (sample <= 0 || sample >= n) {
        for (long p = 1; p <= n; ++p)
            points.push_back(p);
        return points;
    }
    for (long i = 0; i < sample; ++i)
        points.push_back(1 + (i * n / sample + shift * n / (sample * 4)) % n);
    return points;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fputs("usage: tessaro_fault_campaign DRIVER SHIM [--sample K] [--only SCENARIO]\n", stderr);
        return 2;
    }
    long sample = 0;
    QString only;
    for (qsizetype i = 3; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--sample"))
            sample = arguments[i + 1].toLong();
        else if (arguments[i] == QLatin1String("--only"))
            only = arguments[i + 1];
    }
    // Where Samba and Wine keep DOS attributes: a place on disk, as a tmpfs may refuse them.
    const QString chosen = qEnvironmentVariable("TESSARO_FAULT_WORK");
    const QString place = chosen.isEmpty() ? userXattrTemplate() : chosen + QStringLiteral("/tessaro-XXXXXX");
    if (place.isEmpty()) {
        std::fputs("tessaro_fault_campaign: no folder here keeps user.* extended attributes (set TESSARO_FAULT_WORK)\n", stderr);
        return 2;
    }
    Campaign campaign(arguments[1], arguments[2], place);
    if (!campaign.valid())
        qFatal("no work folder at %s", qPrintable(place));

    QElapsedTimer clock;
    clock.start();
    long tried = 0, held = 0;
    std::printf("| scenario | fault | file calls in a run | points tried | held |\n|---|---|---:|---:|---:|\n");
    std::fflush(stdout);
    QStringList failures;
    for (const Scenario& scenario : scenarios) {
        if (!only.isEmpty() && !QString::fromUtf8(scenario.name).contains(only))
            continue;
        QStringList calls;
        const auto views = campaign.oldAndNew(scenario, calls);
        if (views.first == views.second)
            qFatal("%s: the run changes nothing the reader reads", scenario.name);
        for (int f = 0; f < int(std::size(Faults)); ++f) {
            long heldHere = 0;
            const std::vector<long> points = pointsToTry(calls.size(), sample, f);
            for (const long point : points) {
                const QStringList broken = campaign.tryPoint(scenario, point, Faults[f], views);
                if (broken.isEmpty()) {
                    ++heldHere;
                    continue;
                }
                failures << QStringLiteral("%1, %2 at call %3 (%4):\n    %5")
                                .arg(QString::fromUtf8(scenario.name), QLatin1String(Faults[f]))
                                .arg(point)
                                .arg(calls.value(point - 1), broken.join(QStringLiteral("\n    ")));
            }
            std::printf("| %s | %s | %lld | %zu | %ld |\n", scenario.name, Faults[f], static_cast<long long>(calls.size()), points.size(), heldHere);
            std::fflush(stdout);
            tried += static_cast<long>(points.size());
            held += heldHere;
        }
    }
    std::printf("\n%ld points tried, %ld held, in %.0f s\n", tried, held, static_cast<double>(clock.elapsed()) / 1000.0);
    for (const QString& failure : failures)
        std::printf("FAILED %s\n", qPrintable(failure));
    return failures.isEmpty() ? 0 : 1;
}
