// The System mark on Linux: the DOS attribute formats byte for byte, the calls made on each
// filesystem, then the mark on real folders (ntfs-3g's included where it can be mounted).

#include "platform/os/dos_attributes.h"
#include "platform/os/os_services.h"
#include "platform/os/system_mark_posix.h"
#include "posix_support.h"
#include "test_support.h"

#include <linux/magic.h>
#include <map>
#include <sys/stat.h>

using namespace tessaro;
using namespace tessaro::test;
using Value = std::optional<std::string>;

namespace {

std::string blob(const char* hex)
{
    return QByteArray::fromHex(hex).toStdString();
}

// Samba blobs written out by hand, so a layout mistake in the program cannot hide in a
// helper that shares it. The creation time's eight bytes all differ, so a shifted or
// zeroed byte shows, and the fields beside attrib hold other values. Fields: attrib_hex,
// padding, version, level, padding, the arm; v1 and v3 share the rest of their arm after
// the attrib field (ea_size, then sizes and times).
const std::string V1Rest = blob("00000000 0707070707070707 0707070707070707 1032547698BADCFE 0909090909090909");
const std::string V3Rest = blob("55000000 0102030405060708 1112131415161718 1032547698BADCFE 2122232425262728");
// v2: ea_size, size, alloc_size, create, change and write times, then the name.
const std::string V2Rest = blob("66000000 0102030405060708 1112131415161718 1032547698BADCFE 2122232425262728 3132333435363738 61626300");
// v4: itime, then the creation time.
const std::string V4Rest = blob("4142434445464748 1032547698BADCFE");
const std::string V5 = blob("00 00 0500 0500 0000 11000000 20000000 1032547698BADCFE");
const std::string V3 = blob("3078323000 00 0300 0300 0000 03000000 20000000") + V3Rest;

// Hex, so that a failed comparison points at the byte.
QByteArray shown(const Value& value)
{
    return value ? QByteArray::fromStdString(*value).toHex(' ') : QByteArray("<none>");
}

// `bits`: what is added; System for a folder, Hidden and System for desktop.ini.
constexpr std::uint32_t HiddenSystem = dos::Hidden | dos::System;
struct DosCase { const char* name; Value stored, expected; std::uint32_t before = 0; std::uint32_t bits = dos::System; }; // expected none: refused
const DosCase dosCases[] = {
    {"text, Hidden and System, one already there", "0x22", "0x26", 0x22, HiddenSystem},
    {"v5, Hidden and System", V5, blob("00 00 0500 0500 0000 11000000 26000000 1032547698BADCFE"), 0x20, HiddenSystem},
    // Directory (0x10) would need another hex digit: the blob's layout would shift.
    {"a bit beyond the last hex digit is refused", "0x4", std::nullopt, 0, dos::Directory},
    // Wine reads only the text, so a later version that carries it has both updated.
    {"v5 with text", blob("3078323000 00 0500 0500 0000 11000000 20000000 1032547698BADCFE"),
     blob("3078323400 00 0500 0500 0000 11000000 24000000 1032547698BADCFE"), 0x20},
    {"v4", blob("00 00 0400 0400 0000 11000000 21000000") + V4Rest, blob("00 00 0400 0400 0000 11000000 25000000") + V4Rest, 0x21},
    {"v3, text and word", V3, blob("3078323400 00 0300 0300 0000 03000000 24000000") + V3Rest, 0x20},
    {"v2, flags first, the name kept", blob("3078323000 00 0200 0200 0000 01000000 20000000") + V2Rest,
     blob("3078323400 00 0200 0200 0000 01000000 24000000") + V2Rest, 0x20},
    // "0x2" ends on an even offset: nothing pads the version.
    {"v1, no padding", blob("30783200 0100 0100 02000000") + V1Rest, blob("30783600 0100 0100 06000000") + V1Rest, 0x2},
    {"no digits", "0x", std::nullopt},
    {"trailing space", "0x20 ", std::nullopt},
    {"no 0x", "0020", std::nullopt},
    {"more than 32 bits", "0x100000000", std::nullopt},
    {"unknown version", blob("00 00 0600 0600 0000 11000000 20000000 1032547698BADCFE"), std::nullopt},
    {"level differs from version", blob("00 00 0500 0400 0000 11000000 20000000 1032547698BADCFE"), std::nullopt},
    {"v5 truncated", V5.substr(0, V5.size() - 1), std::nullopt},
    {"v2 one byte short of its fixed fields", (blob("3078323000 00 0200 0200 0000 01000000 20000000") + V2Rest).substr(0, 5 + 1 + 4 + 2 + 51),
     std::nullopt},
    {"v3 with bad text", blob("3078326700 00 0300 0300 0000 03000000 20000000") + V3Rest, std::nullopt},
};

// What a filesystem holds, by attribute name ("fat" for the FAT attribute word): the value
// in hex, or the errno its read or its write fails with.
struct Held { const char* name; const char* hex; int readError = 0; int writeError = 0; };

// Answers the mark's calls from what it holds and writes down each call.
class RecordingCalls final : public os::AttributeCalls {
public:
    explicit RecordingCalls(const std::vector<Held>& held)
    {
        for (const Held& h : held)
            m_held[h.name] = h;
    }
    QStringList calls;

    int getFatAttributes(int fd, std::uint32_t& attributes) override
    {
        attributes = 0;
        return getXattr(fd, "fat", &attributes, sizeof attributes) < 0 ? -1 : 0;
    }
    int setFatAttributes(int fd, std::uint32_t attributes) override
    {
        return setXattr(fd, "fat", &attributes, sizeof attributes);
    }
    ssize_t getXattr(int, const char* name, void* value, std::size_t size) override
    {
        calls << QStringLiteral("get ") + QString::fromLatin1(name);
        const auto it = m_held.find(name);
        const std::string stored = it == m_held.end() ? std::string() : blob(it->second.hex);
        int error = it == m_held.end() ? ENODATA : it->second.readError;
        if (!error && size && size < stored.size())
            error = ERANGE;
        if (!error && size)
            std::memcpy(value, stored.data(), stored.size());
        errno = error;
        return error ? -1 : static_cast<ssize_t>(stored.size());
    }
    int setXattr(int, const char* name, const void* value, std::size_t size) override
    {
        const QByteArray bytes(static_cast<const char*>(value), static_cast<qsizetype>(size));
        calls << QStringLiteral("set %1 %2").arg(QString::fromLatin1(name), QString::fromLatin1(bytes.toHex()));
        const auto it = m_held.find(name);
        errno = it == m_held.end() ? 0 : it->second.writeError;
        return errno ? -1 : 0;
    }

private:
    std::map<std::string, Held> m_held;
};

constexpr std::uint32_t Ntfs3 = 0x7366746e, Exfat = 0x2011BAB0, Cifs = 0xFF534D42, Smb2 = 0xFE534D42;
constexpr const char* NtfsWord = "system.ntfs_attrib_be";

const QString UnknownFormat = describe(os::make_error_code(os::Failure::UnknownAttributeFormat));
constexpr int Unknown = -1; // the error: UnknownFormat
struct ChannelCase { const char* name; std::uint32_t type; std::vector<Held> held; const char* calls; int error = 0;
                     std::uint32_t bits = dos::System; };
const ChannelCase channelCases[] = {
    {"vfat file: Hidden there, System added", MSDOS_SUPER_MAGIC, {{"fat", "22000000"}}, "get fat, set fat 26000000", 0, HiddenSystem},
    {"ntfs3 file: Hidden and System", Ntfs3, {{NtfsWord, "00000020"}}, "get system.ntfs_attrib_be, set system.ntfs_attrib_be 00000026", 0,
     HiddenSystem},
    {"CIFS file: Hidden and System", Cifs, {{"user.cifs.dosattrib", "20000000"}},
     "get user.cifs.dosattrib, set user.cifs.dosattrib 26000000", 0, HiddenSystem},
    {"ext4 file: Hidden and System", EXT4_SUPER_MAGIC, {}, "get user.DOSATTRIB, set user.DOSATTRIB 307836", 0, HiddenSystem},
    {"exfat: already System, nothing written", Exfat, {{"fat", "24000000"}}, "get fat"},
    {"exfat: the write refused", Exfat, {{"fat", "20000000", 0, EPERM}}, "get fat, set fat 24000000", EPERM},
    {"ntfs3: no word is a failure, not a reason to write another", Ntfs3, {{NtfsWord, "", ENODATA}}, "get system.ntfs_attrib_be",
     ENODATA},
    {"ntfs3: a word of another size", Ntfs3, {{NtfsWord, "000032"}}, "get system.ntfs_attrib_be", Unknown},
    {"FUSE: ntfs-3g's word", FUSE_SUPER_MAGIC, {{NtfsWord, "00000010"}},
     "get system.ntfs_attrib_be, set system.ntfs_attrib_be 00000014"},
    {"FUSE without the word (ENOTSUP): Samba's attribute", FUSE_SUPER_MAGIC, {{NtfsWord, "", ENOTSUP}, {"user.DOSATTRIB", "307832"}},
     "get system.ntfs_attrib_be, get user.DOSATTRIB, get user.DOSATTRIB, set user.DOSATTRIB 307836"},
    {"FUSE without the word (ENODATA): Samba's attribute", FUSE_SUPER_MAGIC, {},
     "get system.ntfs_attrib_be, get user.DOSATTRIB, set user.DOSATTRIB 307834"},
    {"FUSE: the word refused is the answer", FUSE_SUPER_MAGIC, {{NtfsWord, "", EACCES}, {"user.DOSATTRIB", "307832"}},
     "get system.ntfs_attrib_be", EACCES},
    {"SMB2: host-order word", Smb2, {{"user.cifs.dosattrib", "10000000"}},
     "get user.cifs.dosattrib, set user.cifs.dosattrib 14000000"},
    {"ext4: Samba's attribute", EXT4_SUPER_MAGIC, {{"user.DOSATTRIB", "30783230"}},
     "get user.DOSATTRIB, get user.DOSATTRIB, set user.DOSATTRIB 30783234"},
    {"ext4: a value in a form unknown here is left as it is", EXT4_SUPER_MAGIC, {{"user.DOSATTRIB", "3078"}},
     "get user.DOSATTRIB, get user.DOSATTRIB", Unknown},
};

// system.ntfs_attrib_be as a number; empty when it cannot be read.
std::optional<std::uint32_t> ntfsWord(const QString& path)
{
    unsigned char bytes[4];
    if (::getxattr(QFile::encodeName(path), NtfsWord, bytes, sizeof bytes) != sizeof bytes)
        return std::nullopt;
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 | bytes[3];
}

} // namespace

class SystemMarkTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void systemBit_keepsEveryOtherByte_data() { rows(dosCases); }
    void systemBit_keepsEveryOtherByte()
    {
        const DosCase& c = currentRow(dosCases);
        const Value updated = dos::withBits(c.stored, c.bits);
        QCOMPARE(shown(updated), shown(c.expected));
        // What cannot be updated must not be read either: a misread value could mislead.
        if (c.stored && c.bits != dos::Directory)
            QCOMPARE(dos::attributesOf(*c.stored), c.expected ? std::optional(c.before) : std::nullopt);
        if (updated)
            QCOMPARE(dos::attributesOf(*updated), std::optional(c.before | c.bits));
    }

    void mark_callsEachFilesystemsOwnChannel_data() { rows(channelCases); }
    void mark_callsEachFilesystemsOwnChannel()
    {
        const ChannelCase& c = currentRow(channelCases);
        RecordingCalls calls(c.held);
        const std::error_code error = os::addThrough(-1, os::markChannel(c.type), c.bits, calls);
        QCOMPARE(calls.calls.join(QStringLiteral(", ")), QString::fromLatin1(c.calls));
        QCOMPARE(describe(error), c.error == Unknown ? UnknownFormat : errnoText(c.error));
    }

    void markSystem_ntfs3g_setsOnlyTheSystemBit()
    {
        const NtfsMount ntfs(8);
        if (!ntfs.why().isEmpty())
            QSKIP(qPrintable(ntfs.why()));
        const QString folder = ntfs.path(QStringLiteral("写真"));
        QVERIFY(QDir().mkdir(folder));
        // Hidden first, so that a mark that rewrote the word instead of adding to it would show.
        const std::uint32_t hidden = ntfsWord(folder).value_or(0) | dos::Hidden;
        const unsigned char bytes[4] = {0, 0, 0, static_cast<unsigned char>(hidden)};
        QCOMPARE(::setxattr(QFile::encodeName(folder), NtfsWord, bytes, sizeof bytes, 0), 0);
        QCOMPARE(ntfsWord(folder), std::optional(hidden));
        QCOMPARE(describe(os::markSystem(folder.toStdString())), errnoText(0));
        QCOMPARE(ntfsWord(folder), std::optional(hidden | dos::System));

        // desktop.ini: Hidden and System added to what the file has (Archive, as NTFS gives it).
        const QString file = folder + QStringLiteral("/desktop.ini");
        writeFile(file, "x");
        const std::uint32_t before = ntfsWord(file).value_or(0);
        QCOMPARE(describe(os::markHiddenSystem(file.toStdString())), errnoText(0));
        QCOMPARE(ntfsWord(file), std::optional(before | dos::Hidden | dos::System));
    }

    // Only a regular file gets Hidden and System, and only a folder the System mark.
    void mark_onlyWhatItIsFor()
    {
        QCOMPARE(describe(os::markSystem("/dev/null")), errnoText(ENOTDIR));
        const QString place = userXattrTemplate();
        if (place.isEmpty())
            QSKIP("neither /var/tmp, the build folder nor the home folder keeps user.* attributes");
        const QTemporaryDir dir(place);
        const QString notes = dir.filePath(QStringLiteral("notes.txt")), link = dir.filePath(QStringLiteral("desktop.ini"));
        writeFile(notes, "mine");
        QVERIFY(QFile::link(notes, link));
        QCOMPARE(describe(os::markHiddenSystem(link.toStdString())), errnoText(ELOOP));
        QVERIFY(!dosAttrib(notes));
        // A pipe must neither hold the program up nor be given attributes.
        const QString pipe = dir.filePath(QStringLiteral("pipe.ini"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe), 0600), 0);
        QCOMPARE(describe(os::markHiddenSystem(pipe.toStdString())), errnoText(EINVAL));
        QCOMPARE(describe(os::markHiddenSystem(dir.path().toStdString())), errnoText(EISDIR));
        QVERIFY(!dosAttrib(dir.path()));
    }
};

TESSARO_TEST_GUILESS_MAIN(SystemMarkTest)
#include "test_system_mark_posix.moc"
