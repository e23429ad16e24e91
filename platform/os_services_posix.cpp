#include "platform/os_services.h"

#include "platform/mount_table_posix.h"
#include "platform/native_path.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <langinfo.h>
#include <iconv.h>
#include <sstream>
#include <unistd.h>

namespace tessaro::os {
namespace {

// mountinfo escapes space, tab, newline and backslash as three octal digits.
std::string unescapeMountField(std::string_view field)
{
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2])
            && octal(field[i + 3])) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// udev escapes unsafe bytes of a label as \xHH.
std::string unescapeUdevName(std::string_view name)
{
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && hex(name[i + 2]) && hex(name[i + 3])) {
            out += static_cast<char>(std::stoi(std::string(name.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        if (end > start)
            fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

bool isUnder(const Path& path, const Path& root)
{
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty())
            continue; // a trailing separator in root
        if (p == path.end() || *p != *r)
            return false;
    }
    return true;
}

std::vector<Mount> mounts()
{
    std::ifstream file("/proc/self/mountinfo");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return parseMountInfo(text);
}

// Labels come from the udev links /dev/disk/by-label/<label> -> ../../sdb1.
std::u16string labelOf(const std::string& source)
{
    std::error_code ec;
    const Path device = std::filesystem::canonical(source, ec);
    if (ec)
        return {};
    for (const auto& entry : std::filesystem::directory_iterator("/dev/disk/by-label", ec)) {
        std::error_code linkError;
        if (std::filesystem::canonical(entry.path(), linkError) == device && !linkError)
            return toQString(Path(unescapeUdevName(entry.path().filename().native()))).toStdU16String();
    }
    return {};
}

} // namespace

bool displayAvailable()
{
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return true;
    }
    return false;
}

std::vector<Mount> parseMountInfo(std::string_view text)
{
    std::vector<Mount> result;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::vector<std::string_view> fields = splitFields(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));

        // id parent major:minor root point options [optional...] - type source super-options
        const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 5 || dash == fields.end() || std::distance(dash, fields.end()) < 3)
            continue;
        Mount mount{Path(unescapeMountField(fields[4])), std::string(dash[1]), unescapeMountField(dash[2])};
        std::erase_if(result, [&](const Mount& m) { return m.point == mount.point; });
        result.push_back(std::move(mount));
    }
    return result;
}

bool isStorage(const Mount& mount)
{
    static constexpr std::string_view pseudo[] = {
        "autofs", "binfmt_misc", "bpf", "cgroup", "cgroup2", "configfs", "debugfs", "devpts",
        "devtmpfs", "efivarfs", "fusectl", "hugetlbfs", "mqueue", "nsfs", "proc", "pstore",
        "rpc_pipefs", "securityfs", "selinuxfs", "sysfs", "tracefs", "fuse.gvfsd-fuse",
        "fuse.portal", "squashfs", "nfsd", "ramfs",
    };
    if (std::find(std::begin(pseudo), std::end(pseudo), mount.type) != std::end(pseudo))
        return false;
    if (mount.point == "/")
        return true;
    for (const char* scratch : {"/dev", "/proc", "/sys", "/run", "/snap", "/boot/efi"}) {
        if (isUnder(mount.point, scratch) && !isUnder(mount.point, "/run/media"))
            return false;
    }
    return true;
}

std::vector<Volume> volumes()
{
    std::vector<Volume> result;
    for (const Mount& mount : mounts()) {
        // Containers bind single files (/etc/hosts) over the tree: those are no volumes.
        std::error_code ec;
        if (isStorage(mount) && std::filesystem::is_directory(mount.point, ec))
            result.push_back({mount.point, labelOf(mount.source)});
    }
    std::sort(result.begin(), result.end(), [](const Volume& a, const Volume& b) { return a.root < b.root; });
    return result;
}

Path systemVolume()
{
    return "/";
}

Path volumeOf(const Path& path)
{
    const Path absolute = path.lexically_normal();
    Path best = "/";
    // Labels are not needed here, and looking them up costs a walk of /dev/disk per volume.
    for (const Mount& mount : mounts()) {
        if (isStorage(mount) && isUnder(absolute, mount.point)
            && std::distance(mount.point.begin(), mount.point.end()) > std::distance(best.begin(), best.end()))
            best = mount.point;
    }
    return best;
}

bool volumeReady(const Path& root)
{
    std::error_code ec;
    return std::filesystem::is_directory(root, ec) && ::access(root.c_str(), R_OK | X_OK) == 0;
}

std::optional<Path> documentsFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        return std::nullopt;
    return toPath(folder);
}

std::optional<Path> picturesFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty())
        return std::nullopt;
    return toPath(folder);
}

std::string systemEncoding()
{
    return nl_langinfo(CODESET);
}

std::optional<std::string> encodeExactly(std::u16string_view text, const std::string& encoding)
{
    iconv_t converter = iconv_open(encoding.c_str(), "UTF-16LE");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;

    std::string input;
    input.reserve(text.size() * 2);
    for (char16_t unit : text) {
        input += static_cast<char>(unit & 0xFF);
        input += static_cast<char>(unit >> 8);
    }
    std::string output(input.size() * 2 + 16, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    // Without //TRANSLIT glibc refuses a character the target lacks (EILSEQ) instead of
    // substituting one; the final call flushes any shift state.
    const bool ok = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1)
        && iconv(converter, nullptr, nullptr, &out, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    if (!ok)
        return std::nullopt;
    output.resize(output.size() - outLeft);
    return output;
}

std::error_code openFolder(const Path& folder, NativeWindow)
{
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec))
        return std::make_error_code(std::errc::no_such_file_or_directory);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(toQString(folder))))
        return std::make_error_code(std::errc::operation_not_supported);
    return {};
}

std::optional<ColourRef> chooseColour(NativeWindow owner, CustomColours& custom)
{
    // Qt's colour dialog keeps its custom colours in the user's configuration
    // (~/.config/QtProject.conf), read on first use and written back at exit. Tessaro keeps
    // them for one run and touches no settings, so Qt's settings are pointed at a folder that
    // cannot exist: nothing is read, and the write fails without a trace.
    static const bool isolated = [] {
        const QString nowhere = QStringLiteral("/dev/null/tessaro");
        for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
            QSettings::setPath(format, QSettings::UserScope, nowhere);
            QSettings::setPath(format, QSettings::SystemScope, nowhere);
        }
        return true;
    }();
    Q_UNUSED(isolated);

    const auto colourAt = [&custom](std::size_t i) {
        return QColor(custom[4 * i], custom[4 * i + 1], custom[4 * i + 2]);
    };
    for (int i = 0; i < 16; ++i)
        QColorDialog::setCustomColor(i, colourAt(static_cast<std::size_t>(i)));

    // Qt's own dialog on every desktop, so that the custom colours behave alike everywhere.
    QColorDialog dialog(QWidget::find(static_cast<WId>(owner)));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setCurrentColor(Qt::black);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;

    for (int i = 0; i < 16; ++i) {
        const QColor colour = QColorDialog::customColor(i);
        const auto at = static_cast<std::size_t>(4 * i);
        custom[at] = static_cast<std::uint8_t>(colour.red());
        custom[at + 1] = static_cast<std::uint8_t>(colour.green());
        custom[at + 2] = static_cast<std::uint8_t>(colour.blue());
        custom[at + 3] = 0;
    }
    const QColor chosen = dialog.selectedColor();
    return static_cast<ColourRef>(chosen.red()) | static_cast<ColourRef>(chosen.green()) << 8
        | static_cast<ColourRef>(chosen.blue()) << 16;
}

} // namespace tessaro::os
