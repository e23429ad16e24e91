#pragma once

// Test helpers that reach below Qt, for the Linux side of the program.

#include "test_support.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <fcntl.h>
#include <linux/fs.h>
#include <optional>
#include <string>
#include <system_error>
#include <sys/ioctl.h>
#include <sys/stat.h>
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
