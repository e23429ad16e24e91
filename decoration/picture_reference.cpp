#include "decoration/picture_reference.h"

#include "platform/os/native_path.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <filesystem>

namespace tessaro {
namespace {

// The longest name a folder holds: 255 bytes on Linux, 255 UTF-16 units on Windows.
constexpr std::size_t LongestName = 255;

bool forbidden(QChar c)
{
    return c.unicode() < 0x20 || QStringView(u"<>:\"/\\|?*").contains(c);
}

} // namespace

// The part before the first dot, which is what Windows compares with its devices' names.
bool deviceName(const QString& name)
{
    static const QRegularExpression devices(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9]) *$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return devices.match(name.section(QLatin1Char('.'), 0, 0)).hasMatch();
}

bool windowsCanOpen(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return false;
    return std::none_of(name.begin(), name.end(), forbidden) && !deviceName(name);
}

QString windowsName(const QString& name)
{
    QString result = name;
    for (QChar& c : result) {
        if (forbidden(c))
            c = QLatin1Char('_');
    }
    while (result.endsWith(QLatin1Char('.')) || result.endsWith(QLatin1Char(' ')))
        result.chop(1);
    if (result.isEmpty() || deviceName(result))
        result.prepend(QLatin1Char('_'));
    return result;
}

QString numberedName(const QString& name, int n)
{
    if (n <= 1)
        return name;
    // "sea.jpg" -> "sea (2).jpg"; a name whose only dot starts it has no extension.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype at = dot > 0 ? dot : name.size();
    QString stem = name.left(at);
    const QString rest = QStringLiteral(" (%1)").arg(n) + name.mid(at);
    // A name the filesystem cannot hold could never be made: the stem gives way to the number.
    while (!stem.isEmpty() && toPath(stem + rest).native().size() > LongestName)
        stem.chop(stem.size() > 1 && stem.back().isLowSurrogate() ? 2 : 1);
    return stem + rest;
}

std::error_code pathInside(const QString& picture, const QString& folder, std::optional<QStringList>& names)
{
    namespace fs = std::filesystem;
    names.reset();
    std::error_code error;
    const fs::path file = fs::canonical(toPath(picture), error);
    if (error)
        return error;
    const fs::path root = fs::canonical(toPath(folder), error);
    if (error)
        return error;
    // Compared as files, not as text: the same folder may have names that differ in case
    // (Windows) or lie on a second mount of the same filesystem.
    for (fs::path at = file.parent_path();; at = at.parent_path()) {
        // A folder on the way that cannot be looked at may be the folder itself: it is not
        // taken for one elsewhere.
        const bool same = fs::equivalent(at, root, error);
        if (error)
            return error;
        if (same) {
            QStringList parts;
            for (const fs::path& part : file.lexically_relative(at))
                parts << toQString(part);
            names = parts;
            return {};
        }
        if (at == at.parent_path())
            return {};
    }
}

} // namespace tessaro
