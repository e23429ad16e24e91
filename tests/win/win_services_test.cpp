// The Windows services against the real Windows APIs (Wine in CI): one line per check,
// then "N passed, M failed". Standard library and Windows SDK only, like the code under test.

#include "platform/os_services.h"
#include "platform/text_output.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <colordlg.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace os = tessaro::os;
namespace fs = std::filesystem;

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what, const std::string& detail = {})
{
    (ok ? passed : failed) += 1;
    std::string line = (ok ? "ok   " : "FAIL ") + what;
    if (!ok && !detail.empty())
        line += "  [" + detail + "]";
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string describe(const std::optional<std::string>& bytes)
{
    return bytes ? "got " + hex(*bytes) : "got nothing";
}

std::string utf8(const fs::path& path)
{
    auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

DWORD attributesOf(const fs::path& path)
{
    return ::GetFileAttributesW(path.c_str());
}

// A scratch folder of its own under the temporary folder, removed at the end.
struct Scratch {
    fs::path root = fs::temp_directory_path() / (L"tessaro-win-" + std::to_wstring(::GetCurrentProcessId()));
    Scratch() { fs::create_directories(root); }
    ~Scratch()
    {
        std::error_code ignored;
        for (auto& entry : fs::recursive_directory_iterator(root, ignored))
            ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(root, ignored);
    }
};

void volumeChecks()
{
    const auto all = os::volumes();
    const bool hasC = std::any_of(all.begin(), all.end(), [](const os::Volume& v) { return v.root == L"C:\\"; });
    check(hasC, "volumes() lists C:\\", std::to_string(all.size()) + " volumes");
    check(os::volumeReady(L"C:\\"), "volumeReady(C:\\)");

    const DWORD present = ::GetLogicalDrives();
    wchar_t absent = 0;
    for (wchar_t letter = L'Z'; letter >= L'D' && !absent; --letter) {
        if (!(present & (1u << (letter - L'A'))))
            absent = letter;
    }
    if (absent)
        check(!os::volumeReady(std::wstring{absent, L':', L'\\'}), "volumeReady() is false for an unassigned drive letter");

    struct Case {
        const wchar_t* path;
        const wchar_t* root;
    };
    const Case cases[] = {
        {L"D:\\写真\\海.jpg", L"D:\\"},
        {L"d:/pictures/sea.jpg", L"D:\\"},
        {L"C:\\", L"C:\\"},
        {L"\\\\server\\share\\写真\\海.jpg", L"\\\\server\\share\\"},
        {L"//server/share/a.jpg", L"\\\\server\\share\\"},
        {L"\\\\?\\E:\\deep\\a.jpg", L"E:\\"},
        {L"\\\\?\\UNC\\server\\share\\a.jpg", L"\\\\server\\share\\"},
    };
    for (const Case& c : cases) {
        const fs::path got = os::volumeOf(c.path);
        check(got == c.root, "volumeOf(" + utf8(c.path) + ") is " + utf8(c.root), "got " + utf8(got));
    }
    const fs::path here = fs::current_path();
    const fs::path relative = os::volumeOf(L"pictures\\sea.jpg");
    check(relative == os::volumeOf(here), "volumeOf(a relative path) is the current directory's volume",
          "got " + utf8(relative) + " for " + utf8(here));
}

void folderChecks()
{
    const auto documents = os::documentsFolder();
    check(documents && documents->is_absolute() && fs::is_directory(*documents), "documentsFolder() is an existing folder",
          documents ? utf8(*documents) : "none");
    const auto pictures = os::picturesFolder();
    check(pictures && pictures->is_absolute() && fs::is_directory(*pictures), "picturesFolder() is an existing folder",
          pictures ? utf8(*pictures) : "none");
    if (documents && pictures)
        check(*documents != *pictures, "documents and pictures are different folders");
}

void encodingChecks()
{
    const std::string system = os::systemEncoding();
    const bool numeric = !system.empty() && std::all_of(system.begin(), system.end(), [](char c) { return c >= '0' && c <= '9'; });
    check(numeric && system == std::to_string(::GetACP()), "systemEncoding() is the ANSI code page number", system);
    check(os::encodeExactly(u"C:\\Pictures\\sea.jpg", system) == std::optional<std::string>("C:\\Pictures\\sea.jpg"),
          "plain ASCII passes through the system code page unchanged");

    // Shift_JIS: 写 8E CA, 真 90 5E, 海 8A 43, の 82 CC, half-width ｱ B1.
    const std::string sjis = "C:\\\x8E\xCA\x90\x5E\\\x8A\x43\x82\xCC\xB1.jpg";
    const auto japanese = os::encodeExactly(u"C:\\写真\\海のｱ.jpg", "932");
    check(japanese == sjis, "932: a Japanese path becomes its Shift_JIS bytes", describe(japanese));

    // Each of these has a best-fit stand-in in 932; the yen sign's is 5C, a path separator.
    const struct {
        const char16_t* text;
        const char* what;
    } refused[] = {
        {u"C:\\caf\u00E9.jpg", "932 refuses e-acute (best-fit 'e')"},
        {u"C:\\\u00A5\\a.jpg", "932 refuses the yen sign U+00A5 (best-fit backslash)"},
        {u"C:\\\u00AC.jpg", "932 refuses U+00AC (best-fit full-width not sign)"},
        {u"C:\\\u4E02.jpg", "932 refuses U+4E02, outside JIS X 0208"},
        {u"C:\\\U0001F30A.jpg", "932 refuses an emoji"},
    };
    for (const auto& r : refused) {
        const auto got = os::encodeExactly(r.text, "932");
        check(!got, r.what, describe(got));
    }

    check(os::encodeExactly(u"", "932") == std::optional<std::string>(""), "932: empty text is empty bytes, not a failure");

    const auto latin = os::encodeExactly(u"caf\u00E9 \u20AC", "1252");
    check(latin == std::optional<std::string>("caf\xE9 \x80"), "1252: e-acute and the euro sign", describe(latin));
    check(!os::encodeExactly(u"\u0100", "1252"), "1252 refuses A-macron (best-fit 'A')");

    const auto utf8Bytes = os::encodeExactly(u"写真\U0001F30A", "65001");
    check(utf8Bytes == std::optional<std::string>("\xE5\x86\x99\xE7\x9C\x9F\xF0\x9F\x8C\x8A"),
          "65001: kanji and an emoji as UTF-8", describe(utf8Bytes));
    const char16_t lone[] = {u'a', 0xD800, u'b'};
    const auto loneBytes = os::encodeExactly(std::u16string_view(lone, 3), "65001");
    check(!loneBytes, "65001 refuses a lone surrogate instead of writing U+FFFD", describe(loneBytes));

    check(!os::encodeExactly(u"abc", "UTF-8") && !os::encodeExactly(u"abc", "") && !os::encodeExactly(u"abc", "932x"),
          "an encoding that is not a code page number encodes nothing");

    check(tessaro::encodeForShell(u"C:\\写真\\海のｱ.jpg", "932") == sjis, "encodeForShell keeps Shift_JIS when it fits");
    const std::string wide = tessaro::encodeForShell(u"C:\\caf\u00E9\\\u6D77.jpg", "932");
    const std::string expected("\xFF\xFE" "C\0:\0\\\0c\0a\0f\0\xE9\0\\\0\x77\x6D.\0j\0p\0g\0", 2 + 2 * 13);
    check(wide == expected, "encodeForShell falls back to UTF-16LE with FF FE when 932 lacks a character", hex(wide));
}

void copyChecks(const fs::path& scratch)
{
    const fs::path sourceDir = scratch / L"元 source";
    const fs::path target = scratch / L"コピー先 target";
    fs::create_directories(sourceDir);
    fs::create_directories(target);

    std::string content;
    for (int round = 0; round < 64; ++round) {
        for (int b = 0; b < 256; ++b)
            content += static_cast<char>((b + round) & 0xFF);
    }
    const fs::path source = sourceDir / L"海 の 写真.jpg";
    {
        std::ofstream out(source, std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }

    const auto error = os::copyToFolder(source, target, [](const fs::path&) { return true; });
    const fs::path arrived = target / source.filename();
    check(!error, "copyToFolder() reports success", error.message());
    check(fs::exists(arrived), "copyToFolder() puts the file into the folder under its own name", utf8(arrived));
    check(readAll(arrived) == content, "the copy has the source's bytes");
}

void markChecks(const fs::path& scratch)
{
    const fs::path folder = scratch / L"Tessaro 写真 フォルダ";
    fs::create_directories(folder);
    const DWORD before = attributesOf(folder);
    check(before != INVALID_FILE_ATTRIBUTES && !(before & FILE_ATTRIBUTE_SYSTEM), "a new folder is not System");

    const auto error = os::markSystem(folder);
    // Read straight away: markSystem has to have waited for the command.
    const DWORD after = attributesOf(folder);
    check(!error, "markSystem() starts the command", error.message());
    check(after != INVALID_FILE_ATTRIBUTES && (after & FILE_ATTRIBUTE_SYSTEM),
          "markSystem() has set System when it returns (name with a space and Japanese)", std::to_string(after));

    const fs::path slashed = scratch / L"末尾 slash";
    fs::create_directories(slashed);
    os::markSystem(slashed.native() + L"\\");
    const DWORD slashedAfter = attributesOf(slashed);
    check(slashedAfter != INVALID_FILE_ATTRIBUTES && (slashedAfter & FILE_ATTRIBUTE_SYSTEM),
          "markSystem() on a folder written with a trailing backslash", std::to_string(slashedAfter));
}

void openChecks(const fs::path& scratch)
{
    const auto error = os::openFolder(scratch / L"存在しない missing", 0);
    check(static_cast<bool>(error), "openFolder() on a missing folder reports failure", error.message());
}

// Drives the colour dialog from a second thread, as a user would, and closes it.
struct DialogScript {
    DWORD dialogThread = 0;
    void (*act)(HWND) = nullptr;
    bool found = false;
};

HWND findDialog(DWORD thread)
{
    HWND found = nullptr;
    ::EnumThreadWindows(
        thread,
        [](HWND window, LPARAM out) -> BOOL {
            wchar_t name[16] = {};
            ::GetClassNameW(window, name, 16);
            if (std::wstring_view(name) != L"#32770" || !::IsWindowVisible(window))
                return TRUE;
            *reinterpret_cast<HWND*>(out) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

DWORD WINAPI runScript(void* parameter)
{
    auto* script = static_cast<DialogScript*>(parameter);
    for (int attempt = 0; attempt < 300; ++attempt) {
        if (HWND dialog = findDialog(script->dialogThread)) {
            script->found = true;
            script->act(dialog);
            return 0;
        }
        ::Sleep(100);
    }
    return 0;
}

void press(HWND dialog, int id)
{
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// Clicks custom colour box `index` (eight to a row, two rows).
void clickCustom(HWND dialog, int index)
{
    HWND area = ::GetDlgItem(dialog, COLOR_CUSTOM1);
    RECT box{};
    ::GetWindowRect(area, &box);
    POINT point{box.left + (box.right - box.left) * (2 * (index % 8) + 1) / 16,
                box.top + (box.bottom - box.top) * (2 * (index / 8) + 1) / 4};
    ::ScreenToClient(dialog, &point);
    ::SendMessageW(dialog, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    ::SendMessageW(dialog, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
}

std::optional<os::ColourRef> chooseScripted(os::CustomColours& custom, void (*act)(HWND), bool& found)
{
    DialogScript script{::GetCurrentThreadId(), act, false};
    HANDLE thread = ::CreateThread(nullptr, 0, runScript, &script, 0, nullptr);
    const auto result = os::chooseColour(0, custom);
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    found = script.found;
    return result;
}

void colourChecks()
{
    os::CustomColours pattern{};
    for (std::size_t i = 0; i < 16; ++i) {
        pattern[4 * i] = static_cast<std::uint8_t>(0x10 + i);
        pattern[4 * i + 1] = static_cast<std::uint8_t>(0x20 + i);
        pattern[4 * i + 2] = static_cast<std::uint8_t>(0x30 + i);
    }

    bool found = false;
    os::CustomColours custom = pattern;
    const auto cancelled = chooseScripted(custom, [](HWND dialog) { press(dialog, IDCANCEL); }, found);
    check(found, "chooseColour() shows the dialog");
    check(!cancelled && custom == pattern, "Cancel returns nothing and leaves the custom colours alone");

    // Mix 12 34 56 into the first free box, then pick box 3 and press OK.
    custom = pattern;
    const auto chosen = chooseScripted(
        custom,
        [](HWND dialog) {
            press(dialog, COLOR_MIX);
            ::SetDlgItemInt(dialog, COLOR_RED, 0x12, FALSE);
            ::SetDlgItemInt(dialog, COLOR_GREEN, 0x34, FALSE);
            ::SetDlgItemInt(dialog, COLOR_BLUE, 0x56, FALSE);
            press(dialog, COLOR_ADD);
            clickCustom(dialog, 3);
            press(dialog, IDOK);
        },
        found);
    check(chosen == os::ColourRef{0x00332313}, "OK returns the custom colour picked, read red-first from its four bytes",
          chosen ? std::to_string(*chosen) : "nothing");
    const std::array<std::uint8_t, 4> first{custom[0], custom[1], custom[2], custom[3]};
    check(first == std::array<std::uint8_t, 4>{0x12, 0x34, 0x56, 0x00}, "a colour added in the dialog comes back as 12 34 56 00",
          hex(std::string(first.begin(), first.end())));
    check(std::equal(custom.begin() + 4, custom.end(), pattern.begin() + 4), "the other fifteen custom colours come back unchanged");
}

} // namespace

int main()
{
    try {
        Scratch scratch;
        volumeChecks();
        folderChecks();
        encodingChecks();
        copyChecks(scratch.root);
        markChecks(scratch.root);
        openChecks(scratch.root);
        colourChecks();
    } catch (const std::exception& e) {
        check(false, std::string("unexpected exception: ") + e.what());
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
