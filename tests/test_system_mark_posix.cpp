// The System mark on Linux: the DOS attribute formats byte for byte, then the mark on real
// folders.

#include "platform/os/dos_attributes.h"
#include "platform/os/os_services.h"
#include "posix_support.h"
#include "test_support.h"

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
const std::string V5System = blob("00 00 0500 0500 0000 11000000 24000000 1032547698BADCFE");
const std::string V3 = blob("3078323000 00 0300 0300 0000 03000000 20000000") + V3Rest;

// Hex, so that a failed comparison points at the byte.
QByteArray shown(const Value& value)
{
    return value ? QByteArray::fromStdString(*value).toHex(' ') : QByteArray("<none>");
}

struct DosCase { const char* name; Value stored, expected; std::uint32_t before = 0; }; // expected none: refused
const DosCase dosCases[] = {
    {"absent: the form Samba and Wine both write, no NUL", std::nullopt, "0x4"},
    {"text", "0x22", "0x26", 0x22},
    {"text, NUL kept", std::string("0x20", 5), std::string("0x24", 5), 0x20},
    {"text, already System", "0x26", "0x26", 0x26},
    {"text, upper case", "0x2A", "0x2E", 0x2A},
    {"text, high bit", "0x80000001", "0x80000005", 0x80000001},
    {"v5, creation time kept", V5, V5System, 0x20},
    // Wine reads only the text, so a later version that carries it has both updated.
    {"v5 with text", blob("3078323000 00 0500 0500 0000 11000000 20000000 1032547698BADCFE"),
     blob("3078323400 00 0500 0500 0000 11000000 24000000 1032547698BADCFE"), 0x20},
    {"v4", blob("00 00 0400 0400 0000 11000000 21000000") + V4Rest, blob("00 00 0400 0400 0000 11000000 25000000") + V4Rest, 0x21},
    {"v4 with text", blob("30783200 0400 0400 11000000 02000000") + V4Rest, blob("30783600 0400 0400 11000000 06000000") + V4Rest, 0x2},
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
    {"v4 truncated", (blob("00 00 0400 0400 0000 11000000 21000000") + V4Rest).substr(0, 31), std::nullopt},
    {"v2 one byte short of its fixed fields", (blob("3078323000 00 0200 0200 0000 01000000 20000000") + V2Rest).substr(0, 5 + 1 + 4 + 2 + 51),
     std::nullopt},
    {"v3 truncated", V3.substr(0, V3.size() - 1), std::nullopt},
    {"v3 with bad text", blob("3078326700 00 0300 0300 0000 03000000 20000000") + V3Rest, std::nullopt},
    {"v5 with bad text", blob("3078 00 00 0500 0500 0000 11000000 20000000 1032547698BADCFE"), std::nullopt},
};

} // namespace

class SystemMarkTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void systemBit_keepsEveryOtherByte_data() { rows(dosCases); }
    void systemBit_keepsEveryOtherByte()
    {
        QFETCH(int, row);
        const DosCase& c = dosCases[row];
        const Value updated = dos::withSystemBit(c.stored);
        QCOMPARE(shown(updated), shown(c.expected));
        // What cannot be updated must not be read either: a misread value could mislead.
        if (c.stored)
            QCOMPARE(dos::attributesOf(*c.stored), c.expected ? std::optional(c.before) : std::nullopt);
        if (updated)
            QCOMPARE(dos::attributesOf(*updated), std::optional(c.before | dos::System));

        // The same value on a real folder: markSystem stores the update, or refuses and keeps the value.
        const QTemporaryDir dir(XattrTemplate);
        if (!keepsUserXattrs(dir.path()))
            QSKIP("no folder here keeps user.* attributes");
        if (c.stored)
            QCOMPARE(::setxattr(dir.path().toUtf8(), "user.DOSATTRIB", c.stored->data(), c.stored->size(), 0), 0);
        QCOMPARE(describe(os::markSystem(dir.path().toStdString())), errnoText(c.expected ? 0 : ENOTSUP));
        QCOMPARE(shown(dosAttrib(dir.path())), shown(c.expected ? c.expected : c.stored));
    }

    void markSystem_otherTargets()
    {
        const QTemporaryDir base(XattrTemplate);
        QCOMPARE(describe(os::markSystem(base.filePath(QStringLiteral("missing")).toStdString())), errnoText(ENOENT));
        QCOMPARE(describe(os::markSystem("/dev/null")), errnoText(ENOTDIR));

        // Already System: nothing to write, so a folder that cannot be changed is no obstacle.
        if (!keepsUserXattrs(base.path()))
            QSKIP("no folder here keeps user.* attributes");
        QCOMPARE(::setxattr(base.path().toUtf8(), "user.DOSATTRIB", V5System.data(), V5System.size(), 0), 0);
        const ReadOnlyFolder locked(base.path());
        if (!locked.active())
            QSKIP("this filesystem cannot make a folder unchangeable");
        QCOMPARE(describe(os::markSystem(base.path().toStdString())), errnoText(0));
    }
};

QTEST_GUILESS_MAIN(SystemMarkTest)
#include "test_system_mark_posix.moc"
