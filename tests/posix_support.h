#pragma once

// Test helpers that reach below Qt, for the Linux side of the program.

#include "test_support.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tessaro::test {

// Makes a folder (or a file) unchangeable while it lives. Permission bits do not stop root, so
// root gets the immutable flag instead, where the filesystem has one.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path)
        : m_path(QFile::encodeName(path))
    {
        if (::geteuid() != 0) {
            m_chmodded = ::chmod(m_path.constData(), 0555) == 0;
            return;
        }
        m_fd = ::open(m_path.constData(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0 || ::ioctl(m_fd, FS_IOC_GETFLAGS, &m_flags) != 0)
            return;
        int flags = m_flags | FS_IMMUTABLE_FL;
        m_immutable = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ~ReadOnlyFolder()
    {
        if (m_immutable)
            ::ioctl(m_fd, FS_IOC_SETFLAGS, &m_flags);
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_chmodded)
            ::chmod(m_path.constData(), 0755);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool active() const { return m_immutable || m_chmodded; }

private:
    QByteArray m_path;
    int m_fd = -1;
    int m_flags = 0;
    bool m_immutable = false;
    bool m_chmodded = false;
};

// The user.DOSATTRIB value of `path` itself, a link not followed; empty when it has none.
inline std::optional<std::string> dosAttrib(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    char value[256];
    const ssize_t size = ::lgetxattr(native.constData(), "user.DOSATTRIB", value, sizeof value);
    if (size < 0)
        return std::nullopt;
    return std::string(value, static_cast<std::size_t>(size));
}

// Gives `path` the user.DOSATTRIB value `text`, as Samba and Wine write it; false when the
// filesystem keeps none.
inline bool setDosAttrib(const QString& path, std::string_view text)
{
    return ::setxattr(QFile::encodeName(path).constData(), "user.DOSATTRIB", text.data(), text.size(), 0) == 0;
}

// Whether the filesystem holding `path` keeps user.* extended attributes.
inline bool keepsUserXattrs(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    if (::setxattr(native.constData(), "user.tessaro-probe", "1", 1, 0) != 0)
        return false;
    ::removexattr(native.constData(), "user.tessaro-probe");
    return true;
}

// The category too: every failure is meant to come back in the system one, as errno names it.
inline QString describe(std::error_code error)
{
    return QString::fromUtf8(error.category().name()) + QLatin1Char(':') + QString::fromStdString(error.message());
}

inline QString errnoText(int value)
{
    return describe({value, std::system_category()});
}

// A template for temporary folders on a filesystem that keeps user.* attributes; empty
// when none of the places tried does. A tmpfs /tmp on older kernels refuses them, and
// /var/tmp may be one too; the build tree and the home folder are on disk where it is not.
inline QString userXattrTemplate()
{
    for (const QString& place : {QStringLiteral("/var/tmp"), QCoreApplication::applicationDirPath(), QDir::homePath()}) {
        const QString candidate = place + QStringLiteral("/tessaro-XXXXXX");
        const QTemporaryDir probe(candidate);
        if (probe.isValid() && keepsUserXattrs(probe.path()))
            return candidate;
    }
    return {};
}

// Everything in a folder, hidden temporary files included.
inline QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A real NTFS volume: an image made by mkntfs in a folder of its own, mounted at "mnt" there by
// ntfs-3g through /dev/fuse. The daemon is a child of the test (to be stopped with SIGSTOP as a
// hung share's would be) that dies with it.
// why() says why there is none.
class NtfsMount {
public:
    explicit NtfsMount(int megabytes)
    {
        const QStringList places{QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/sbin"), QStringLiteral("/bin")};
        const QString mkntfs = QStandardPaths::findExecutable(QStringLiteral("mkntfs"), places);
        const QByteArray ntfs3g = QFile::encodeName(QStandardPaths::findExecutable(QStringLiteral("ntfs-3g"), places));
        const QString image = m_dir.filePath(QStringLiteral("ntfs.img"));
        QFile file(image);
        if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0)
            m_why = QStringLiteral("mounting an NTFS image needs root and /dev/fuse");
        else if (mkntfs.isEmpty() || ntfs3g.isEmpty())
            m_why = QStringLiteral("mkntfs or ntfs-3g is missing (Debian: ntfs-3g)");
        else if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(megabytes) << 20) || !QDir().mkpath(path())
                 || QProcess::execute(mkntfs, {QStringLiteral("-F"), QStringLiteral("-q"), QStringLiteral("-f"), image}) != 0)
            m_why = QStringLiteral("mkntfs could not make an image");
        if (!m_why.isEmpty())
            return;
        const QByteArray source = QFile::encodeName(image), point = QFile::encodeName(path());
        m_daemon = ::fork();
        if (m_daemon == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            ::execl(ntfs3g.constData(), ntfs3g.constData(), "-o", "no_detach", source.constData(), point.constData(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        struct statfs info {};
        for (int waited = 0; waited < 10000 && !(::statfs(point, &info) == 0 && info.f_type == FUSE_SUPER_MAGIC); waited += 50)
            QThread::msleep(50);
        if (info.f_type != FUSE_SUPER_MAGIC)
            m_why = QStringLiteral("ntfs-3g did not mount the image");
    }
    ~NtfsMount()
    {
        if (m_daemon <= 0)
            return;
        // Detached first, so that nothing waits on the volume once its daemon is gone.
        ::umount2(QFile::encodeName(path()).constData(), MNT_DETACH);
        ::kill(m_daemon, SIGKILL);
        ::waitpid(m_daemon, nullptr, 0);
    }
    NtfsMount(const NtfsMount&) = delete;
    NtfsMount& operator=(const NtfsMount&) = delete;

    QString why() const { return m_why; }
    pid_t daemon() const { return m_daemon; }
    QString path(const QString& relative = {}) const { return m_dir.filePath(relative.isEmpty() ? QStringLiteral("mnt") : QStringLiteral("mnt/") + relative); }
    QString folder() const { return m_dir.path(); } // the image and the mount point "mnt"

private:
    QTemporaryDir m_dir;
    QString m_why;
    pid_t m_daemon = -1;
};

// Everything at and below `root`, links not followed: each entry's kind, mode, bytes or link
// target, and DOS attributes, so that a comparison shows any change at all.
inline QStringList snapshot(const QString& root)
{
    QStringList entries{QStringLiteral(". ") + QString::fromStdString(dosAttrib(root).value_or("-"))};
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        const QString what = S_ISLNK(info.st_mode) ? QStringLiteral("-> ") + QFileInfo(path).symLinkTarget()
            : S_ISREG(info.st_mode)                ? QString::fromLatin1(readFile(path).toHex())
                                                   : QStringLiteral("other");
        entries << QStringLiteral("%1 %2 %3 %4").arg(path.mid(root.size()), QString::number(info.st_mode, 8), what,
                                                      QString::fromStdString(dosAttrib(path).value_or("-")));
    }
    entries.sort();
    return entries;
}

} // namespace tessaro::test
