#include "platform/os/native_path.h"

#include <QDir>
#include <QFile>

#include <string>

namespace tessaro {
namespace {

// Overloads on the native string type choose the conversion at compile time, so this
// file needs no platform switch.
[[maybe_unused]] QString fromNative(const std::wstring& native) { return QString::fromStdWString(native); }
[[maybe_unused]] QString fromNative(const std::string& native) { return QFile::decodeName(QByteArray::fromStdString(native)); }

template <typename String>
String toNative(const QString& path);
template <>
[[maybe_unused]] std::wstring toNative<std::wstring>(const QString& path) { return QDir::toNativeSeparators(path).toStdWString(); }
template <>
[[maybe_unused]] std::string toNative<std::string>(const QString& path) { return QFile::encodeName(path).toStdString(); }

[[maybe_unused]] bool roundTrips(const std::wstring&) { return true; }
[[maybe_unused]] bool roundTrips(const std::string& native)
{
    return QFile::encodeName(fromNative(native)).toStdString() == native;
}

} // namespace

std::filesystem::path toPath(const QString& path)
{
    return std::filesystem::path(toNative<std::filesystem::path::string_type>(path));
}

QString toQString(const std::filesystem::path& path)
{
    return QDir::toNativeSeparators(fromNative(path.native()));
}

bool representable(const std::filesystem::path& path)
{
    return roundTrips(path.native());
}

QString joinPath(const QString& folder, const QString& name)
{
    const QChar separator = QDir::separator();
    if (folder.endsWith(separator))
        return folder + name;
    return folder + separator + name;
}

} // namespace tessaro
