// The Windows services against the real Windows APIs (Wine in CI): one line per check,
// then "N passed, M failed". Standard library and Windows SDK only, like the code under test.

#include "platform/os/colour_dialog_win.h"
#include "platform/os/os_services.h"
#include "platform/os/system_mark_win.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <colordlg.h>

#include <algorithm>
#include <set>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

namespace os = tessaro::os;
namespace fs = std::filesystem;

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what, const std::string& detail = {})
{
    (ok ? passed : failed) += 1;
    const std::string line = ok || detail.empty() ? what : what + "  [" + detail + "]";
    std::printf("%s%s\n", ok ? "ok   " : "FAIL ", line.c_str());
    std::fflush(stdout);
}

std::string hex(const std::string& bytes)
{
    std::string out;
    for (unsigned char b : bytes)
        out += {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15], ' '};
    return out;
}

std::string utf8(const fs::path& path)
{
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Shows the colour dialog while a second thread plays the user: waits for it, then acts on it.
std::optional<os::ColourRef> chooseAs(void (*act)(HWND), os::CustomColours& custom)
{
    const auto play = [](void* parameter) -> DWORD {
        for (int attempt = 0; attempt < 300; ++attempt, ::Sleep(100)) {
            if (HWND dialog = ::FindWindowW(L"#32770", nullptr); dialog && ::IsWindowVisible(dialog)) {
                (*static_cast<void (**)(HWND)>(parameter))(dialog);
                break;
            }
        }
        return 0;
    };
    HANDLE player = ::CreateThread(nullptr, 0, play, &act, 0, nullptr);
    const auto result = os::chooseColour(0, 0, custom);
    ::WaitForSingleObject(player, INFINITE);
    ::CloseHandle(player);
    return result;
}

void press(HWND dialog, int id)
{
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The services the apply command builds on: what stands at a path, copies that never replace,
// desktop.ini's attributes, the replacement of a Hidden and System desktop.ini without the
// shell asking a second time, and the reader's place and code page.
void checkFiles(const fs::path& scratch, const fs::path& source, const fs::path& target, const std::string& content)
{
    const fs::path ini = target / L"desktop.ini";
    write(ini, "[.ShellClassInfo]\r\n");
    os::Entry entry;
    check(!os::inspect(ini, true, 1 << 20, entry) && entry.kind == os::Entry::Kind::RegularFile && entry.bytes == "[.ShellClassInfo]\r\n",
          "inspect() reads a regular file");
    check(os::inspect(ini, true, 4, entry) == std::error_code(ERROR_FILE_TOO_LARGE, std::system_category()),
          "inspect() refuses a file beyond the limit");
    check(!os::inspect(target / L"missing.ini", true, 1 << 20, entry) && entry.kind == os::Entry::Kind::Absent, "inspect(): absent");
    check(!os::inspect(target, true, 1 << 20, entry) && entry.kind == os::Entry::Kind::Folder, "inspect(): a folder");

    bool same = false;
    check(!os::sameContents(target / source.filename(), source, same) && same, "sameContents(): a copy is the same");
    check(!os::sameContents(ini, source, same) && !same, "sameContents(): another file is not");
    check(!os::sameContents(target / L"missing.jpg", source, same) && !same, "sameContents(): nothing there is not");

    const fs::path taken = target / L"海 の 写真 (2).jpg";
    write(taken, "theirs");
    const os::CopyOutcome refused = os::copyAsNew(source, target, taken.filename());
    check(os::errorKind(refused.error) == os::ErrorKind::NameTaken && !refused.placed && readAll(taken) == "theirs",
          "copyAsNew() never replaces a file of that name");
    const os::CopyOutcome copied = os::copyAsNew(source, target, L"新しい 名前.jpg");
    check(!copied.error && copied.placed && readAll(target / L"新しい 名前.jpg") == content, "copyAsNew() copies under the name given");
    check(os::errorKind(os::writeNewFile(ini, "x")) == os::ErrorKind::NameTaken && readAll(ini) == "[.ShellClassInfo]\r\n",
          "writeNewFile() never opens a file there");
    const auto files = std::ranges::count_if(fs::directory_iterator(target), [](const auto& item) { return item.is_regular_file(); });
    check(files == 4, "no temporary file is left behind", std::to_string(files));

    ::SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::error_code marked = os::markHiddenSystem(ini);
    const DWORD attributes = ::GetFileAttributesW(ini.c_str());
    constexpr DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    check(!marked && attributes != INVALID_FILE_ATTRIBUTES && (attributes & kept) == kept,
          "markHiddenSystem() adds Hidden and System, keeps ReadOnly", std::to_string(attributes));
    check(static_cast<bool>(os::markHiddenSystem(target)), "markHiddenSystem() refuses a folder");
    ::SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    // Already asked: the shell must neither ask again (a dialog would hang here) nor refuse the
    // Hidden and System file it replaces.
    const fs::path staged = scratch / L"staging" / L"desktop.ini";
    fs::create_directories(staged.parent_path());
    write(staged, "merged");
    os::copyToFolder(staged, target, {}, os::ReplaceQuestion::AlreadyAnswered);
    check(readAll(ini) == "merged", "copyToFolder() replaces a Hidden and System desktop.ini once the user has answered");
    os::notifyFolderChanged(target);

    check(!os::readerMayBeElsewhere(L"C:\\windows"), "readerMayBeElsewhere(): not for a fixed drive");
    check(os::readerMayBeElsewhere(L"\\\\server\\share\\pictures"), "readerMayBeElsewhere(): a network share");
    // run.sh gives this prefix N: as a network drive; a removable one takes the same way.
    check(::GetDriveTypeW(L"N:\\") == DRIVE_REMOTE && os::readerMayBeElsewhere(L"N:\\pictures"),
          "readerMayBeElsewhere(): a network drive");
    check(os::readerEncoding() == std::to_string(::GetACP()), "readerEncoding() is the ANSI code page");
}

// What a run keeps in a folder for a moment: taken back, cleared when its run has ended, left
// alone while it lives.
void checkLeftovers(const fs::path& scratch)
{
    const fs::path folder = scratch / L"後片付け";
    fs::create_directories(folder);
    for (const bool wanted : {false, true}) {
        write(folder / L"海.jpg", "a copy");
        bool removed = !wanted, nameFree = false;
        const std::error_code error = os::takeBack(folder, L"海.jpg", [&](const fs::path& aside) {
            // Read as the program reads it, sharing it with the run that holds it.
            os::Entry entry;
            nameFree = !fs::exists(folder / L"海.jpg") && !os::inspect(aside, true, 100, entry) && entry.bytes == "a copy";
            return wanted;
        }, removed);
        check(!error && nameFree && removed == !wanted && fs::exists(folder / L"海.jpg") == wanted,
              wanted ? "takeBack() gives a wanted copy its name back" : "takeBack() removes a copy nothing wants", error.message());
        fs::remove(folder / L"海.jpg");
    }

    write(folder / L".海.jpg.tessaro-Ab3dEf9H", "ended");
    write(folder / L".sea.jpg.tessaro-Going123", "going");
    write(folder / L".desktop.ini.tessaro-aside-Ab3dEf9H", "aside");
    write(folder / L".mine.tessaro-x", "mine");
    {
        const HANDLE going = ::CreateFileW((folder / L".sea.jpg.tessaro-Going123").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
        os::removeLeftovers(folder, [](const fs::path& name) { return name == L"desktop.ini"; });
        ::CloseHandle(going);
    }
    std::set<std::wstring> left;
    for (const auto& item : fs::directory_iterator(folder))
        left.insert(item.path().filename().wstring());
    check(left == std::set<std::wstring>{L".mine.tessaro-x", L".sea.jpg.tessaro-Going123", L"desktop.ini"},
          "removeLeftovers() clears what ended runs left, puts a wanted picture back, leaves a running one's");

    const fs::path base = scratch / L"staging";
    for (const wchar_t* name : {L"tessaro-Ended1", L"tessaro-Going1"}) {
        fs::create_directories(base / name);
        write(base / name / L"desktop.ini", "staged");
    }
    {
        const os::FolderHold going(base / L"tessaro-Going1");
        os::removeStaleFolders(base, "tessaro-");
        check(going.held() && !fs::exists(base / L"tessaro-Ended1") && fs::exists(base / L"tessaro-Going1" / L"desktop.ini"),
              "removeStaleFolders() removes the staging folders no run holds");
    }
}

// Windows' error codes and the C runtime's errno values, each the kind the window describes.
void checkErrorKinds()
{
    using Kind = os::ErrorKind;
    const std::tuple<std::error_code, Kind, const char*> kinds[] = {
        {{ERROR_FILE_NOT_FOUND, std::system_category()}, Kind::NotFound, "ERROR_FILE_NOT_FOUND"},
        {{ERROR_DIRECTORY, std::system_category()}, Kind::NotAFolder, "ERROR_DIRECTORY"},
        {{ERROR_ACCESS_DENIED, std::system_category()}, Kind::AccessDenied, "ERROR_ACCESS_DENIED"},
        {{ERROR_WRITE_PROTECT, std::system_category()}, Kind::ReadOnlyVolume, "ERROR_WRITE_PROTECT"},
        {{ERROR_DISK_FULL, std::system_category()}, Kind::DiskFull, "ERROR_DISK_FULL"},
        {{1295, std::system_category()}, Kind::QuotaExceeded, "ERROR_DISK_QUOTA_EXCEEDED"},
        {{ERROR_FILE_TOO_LARGE, std::system_category()}, Kind::FileTooLarge, "ERROR_FILE_TOO_LARGE"},
        {{ERROR_SHARING_VIOLATION, std::system_category()}, Kind::Busy, "ERROR_SHARING_VIOLATION"},
        {{ERROR_INVALID_NAME, std::system_category()}, Kind::InvalidName, "ERROR_INVALID_NAME"},
        {{ERROR_NOT_READY, std::system_category()}, Kind::NoMedium, "ERROR_NOT_READY"},
        {{ERROR_NOT_SUPPORTED, std::system_category()}, Kind::NotSupported, "ERROR_NOT_SUPPORTED"},
        {{12345, std::system_category()}, Kind::Unknown, "an unknown code"},
        {std::make_error_code(std::errc::is_a_directory), Kind::FolderInTheWay, "errno EISDIR"},
        {os::make_error_code(os::Failure::NoFileManager), Kind::Unknown, "the program's own failure"},
    };
    for (const auto& [error, kind, what] : kinds)
        check(os::errorKind(error) == kind, std::string("errorKind(") + what + ")", std::to_string(static_cast<int>(os::errorKind(error))));
}

// The dialogs come last: should one hang, every other result has been printed already.
void checkAll(const fs::path& scratch)
{
    check(std::ranges::any_of(os::volumes(), [](const auto& root) { return root == L"C:\\"; }), "volumes() lists C:\\");
    check(os::volumeReady(L"C:\\"), "volumeReady(C:\\)");
    wchar_t absent = L'Y';
    while (absent > L'D' && (::GetLogicalDrives() & (1u << (absent - L'A'))))
        --absent;
    check(!os::volumeReady(std::wstring{absent, L':', L'\\'}), "volumeReady() is false for an unassigned drive letter");

    const std::pair<fs::path, fs::path> roots[] = {
        {L"d:/pictures/sea.jpg", L"D:\\"},
        {L"//server/share/a.jpg", L"\\\\server\\share\\"},
        {L"\\\\?\\E:\\deep\\a.jpg", L"E:\\"},
        {L"\\\\?\\UNC\\server\\share\\a.jpg", L"\\\\server\\share\\"},
        {L"pictures\\sea.jpg", fs::current_path().root_path()},
    };
    for (const auto& [path, root] : roots) {
        const fs::path got = os::volumeOf(path);
        check(got == root, "volumeOf(" + utf8(path) + ") is " + utf8(root), "got " + utf8(got));
    }

    const auto documents = os::documentsFolder(), pictures = os::picturesFolder();
    check(documents && fs::is_directory(*documents), "documentsFolder() is an existing folder");
    check(pictures && fs::is_directory(*pictures) && pictures != documents, "picturesFolder() is another folder");

    // Shift_JIS: 写 8E CA, 真 90 5E, 海 8A 43, の 82 CC, half-width ｱ B1.
    const std::u16string japanese = u"C:\\写真\\海のｱ.jpg";
    const std::string sjis = "C:\\\x8E\xCA\x90\x5E\\\x8A\x43\x82\xCC\xB1.jpg";
    const std::tuple<const char*, std::u16string_view, std::string, std::optional<std::string>> cases[] = {
        {"the system code page keeps ASCII", u"C:\\Pictures\\sea.jpg", os::systemEncoding(), "C:\\Pictures\\sea.jpg"},
        {"932: a Japanese path becomes its Shift_JIS bytes", japanese, "932", sjis},
        // Its best-fit stand-in in 932 is 5C, a path separator.
        {"932 refuses the yen sign U+00A5", u"C:\\\u00A5\\a.jpg", "932", std::nullopt},
        {"932: empty text is empty bytes, not a failure", u"", "932", ""},
        {"65001: kanji and an emoji as UTF-8", u"写真\U0001F30A", "65001", "\xE5\x86\x99\xE7\x9C\x9F\xF0\x9F\x8C\x8A"},
        {"65001 refuses a lone surrogate instead of writing U+FFFD", u"a\xD800z", "65001", std::nullopt},
        {"\"UTF-8\" is not a code page number", u"abc", "UTF-8", std::nullopt},
        {"\"932x\" is not a code page number", u"abc", "932x", std::nullopt},
    };
    for (const auto& [what, text, encoding, bytes] : cases) {
        const auto got = os::encodeExactly(text, encoding);
        check(got == bytes, what, got ? hex(*got) : "nothing");
    }

    const std::tuple<const char*, std::string, std::string, std::optional<std::u16string>> decodeCases[] = {
        {"932: Shift_JIS bytes read back as the Japanese path", sjis, "932", japanese},
        {"65001 refuses a truncated sequence", "a\xE6\x96", "65001", std::nullopt},
        {"65001 keeps a leading byte-order mark", "\xEF\xBB\xBF" "a", "65001", u"\uFEFFa"},
        {"932: no bytes are empty text, not a failure", "", "932", u""},
    };
    for (const auto& [what, bytes, encoding, text] : decodeCases) {
        const auto got = os::decodeExactly(bytes, encoding);
        // Little-endian, as Windows is.
        check(got == text, std::string("decodeExactly: ") + what,
              got ? hex(std::string(reinterpret_cast<const char*>(got->data()), got->size() * 2)) : "nothing");
    }

    const fs::path source = scratch / L"元 source" / L"海 の 写真.jpg";
    const fs::path target = scratch / L"コピー先 target";
    fs::create_directories(source.parent_path());
    fs::create_directories(target);
    std::string content;
    for (int i = 0; i < 16384; ++i)
        content += static_cast<char>((i + i / 256) & 0xFF);
    write(source, content);
    // checkFiles holds the copy against its source.
    os::copyToFolder(source, target, [](const fs::path&) { return true; });
    checkFiles(scratch, source, target, content);
    checkLeftovers(scratch);

    // The system's attrib.exe runs, not the one run.sh built beside this program, nor a copy
    // in the current folder: that one would append what it received to the log.
    wchar_t self[MAX_PATH];
    const fs::path fake = fs::path(std::wstring(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH))).replace_filename(L"attrib.exe");
    const fs::path log = scratch / L"attrib.log";
    ::SetEnvironmentVariableW(L"TESSARO_FAKE_ATTRIB_LOG", log.c_str());
    fs::copy_file(fake, scratch / L"attrib.exe");
    const fs::path previous = fs::current_path();
    fs::current_path(scratch);
    // Its trailing backslash, which would escape the closing quote, is the received table's.
    const fs::path marked = scratch / L"Tessaro 写真 フォルダ";
    fs::create_directories(marked);
    const DWORD before = ::GetFileAttributesW(marked.c_str());
    const std::error_code markError = os::markSystem(marked);
    // Read straight away: markSystem has to have waited for the command.
    const DWORD after = ::GetFileAttributesW(marked.c_str());
    check(!markError && !(before & FILE_ATTRIBUTE_SYSTEM) && after != INVALID_FILE_ATTRIBUTES && (after & FILE_ATTRIBUTE_SYSTEM),
          "markSystem(" + utf8(marked) + ") has set System when it returns", std::to_string(after) + " " + markError.message());
    check(!fs::exists(log), "markSystem() never runs an attrib.exe planted beside the program or in the current folder");

    // What the command receives, split by the C runtime and by CommandLineToArgvW: the fake
    // writes both. A root cannot be checked on the real command, which lists a root's files.
    const std::pair<fs::path, std::string> received[] = {
        {L"D:\\", "D:\\"},
        {L"C:\\写真 フォルダ\\", "C:\\写真 フォルダ"},
        {L"\\\\server\\share name\\\\", "\\\\server\\share name"},
    };
    for (const auto& [folder, argument] : received) {
        fs::remove(log);
        const std::error_code error = os::runHiddenAndWait(fake, os::attribCommandLine(folder));
        const std::string got = readAll(log), line = "+s\t" + argument + "\n";
        check(!error && got == line + line, "the attribute command receives " + argument + " for " + utf8(folder), got);
    }

    // Without the system's attrib.exe (moved aside for a moment: the Wine prefix is the
    // test's own) the failure comes back, and the planted one still does not run.
    wchar_t system[MAX_PATH];
    const fs::path real = fs::path(std::wstring(system, ::GetSystemDirectoryW(system, MAX_PATH))) / L"attrib.exe";
    const fs::path aside = fs::path(real).replace_extension(L".aside");
    fs::remove(log);
    const bool moved = ::MoveFileW(real.c_str(), aside.c_str());
    const std::error_code notStarted = os::markSystem(marked);
    if (moved)
        ::MoveFileW(aside.c_str(), real.c_str());
    check(moved && notStarted == std::error_code(ERROR_FILE_NOT_FOUND, std::system_category()) && !fs::exists(log),
          "markSystem() reports that attrib.exe could not be started", notStarted.message());
    fs::current_path(previous);

    check(static_cast<bool>(os::openFolder(scratch / L"存在しない missing", 0)), "openFolder() on a missing folder fails");
    checkErrorKinds();

    // Box n holds red 1n, green 2n, blue 3n, then the unused byte.
    os::CustomColours pattern{};
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = i % 4 == 3 ? 0 : static_cast<std::uint8_t>(0x10 * (i % 4 + 1) + i / 4);
    os::CustomColours custom = pattern;
    const auto cancelled = chooseAs([](HWND dialog) { press(dialog, IDCANCEL); }, custom);
    check(!cancelled && custom == pattern, "colour dialog: Cancel returns nothing, changes no custom colour");

    // Mix 12 34 56 into the first free box, then click box 3 (eight to a row) and press OK.
    custom = pattern;
    const auto chosen = chooseAs(
        [](HWND dialog) {
            press(dialog, COLOR_MIX);
            ::SetDlgItemInt(dialog, COLOR_RED, 0x12, FALSE);
            ::SetDlgItemInt(dialog, COLOR_GREEN, 0x34, FALSE);
            ::SetDlgItemInt(dialog, COLOR_BLUE, 0x56, FALSE);
            press(dialog, COLOR_ADD);
            RECT boxes{};
            ::GetWindowRect(::GetDlgItem(dialog, COLOR_CUSTOM1), &boxes);
            POINT box3{boxes.left + (boxes.right - boxes.left) * 7 / 16, boxes.top + (boxes.bottom - boxes.top) / 4};
            ::ScreenToClient(dialog, &box3);
            ::SendMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(box3.x, box3.y));
            ::SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(box3.x, box3.y));
            press(dialog, IDOK);
        },
        custom);
    check(chosen == os::ColourRef{0x00332313}, "colour dialog: OK returns box 3, read red first from its four bytes",
          chosen ? std::to_string(*chosen) : "nothing");
    os::CustomColours expected = pattern;
    std::copy_n("\x12\x34\x56", 3, expected.begin());
    check(custom == expected, "colour dialog: OK writes the custom colours back low byte first, the new one in box 0",
          hex(std::string(custom.begin(), custom.end())));
}

} // namespace

int main()
{
    const fs::path scratch = fs::temp_directory_path() / (L"tessaro-win-" + std::to_wstring(::GetCurrentProcessId()));
    // Wine gives the same process ids run after run: what a run that was stopped left here would
    // make the shell ask about replacing it, and wait for an answer nobody gives.
    std::error_code stale;
    fs::remove_all(scratch, stale);
    try {
        checkAll(scratch);
    } catch (const std::exception& e) {
        check(false, std::string("unexpected exception: ") + e.what());
    }
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
