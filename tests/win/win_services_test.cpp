// The Windows services against the real Windows APIs (Wine in CI): one line per check,
// then "N passed, M failed". Standard library and Windows SDK only, like the code under test.

#include "platform/os/colour_dialog_win.h"
#include "platform/os/os_services.h"
#include "platform/os/text_output.h"

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
    const auto result = os::chooseColour(0, custom);
    ::WaitForSingleObject(player, INFINITE);
    ::CloseHandle(player);
    return result;
}

void press(HWND dialog, int id)
{
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
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

    const auto documents = os::documentsFolder();
    const auto pictures = os::picturesFolder();
    check(documents && fs::is_directory(*documents), "documentsFolder() is an existing folder");
    check(pictures && fs::is_directory(*pictures) && pictures != documents, "picturesFolder() is another folder");

    // Shift_JIS: 写 8E CA, 真 90 5E, 海 8A 43, の 82 CC, half-width ｱ B1.
    const std::u16string japanese = u"C:\\写真\\海のｱ.jpg";
    const std::string sjis = "C:\\\x8E\xCA\x90\x5E\\\x8A\x43\x82\xCC\xB1.jpg";
    const std::tuple<const char*, std::u16string_view, std::string, std::optional<std::string>> cases[] = {
        {"the system code page keeps ASCII", u"C:\\Pictures\\sea.jpg", os::systemEncoding(), "C:\\Pictures\\sea.jpg"},
        {"932: a Japanese path becomes its Shift_JIS bytes", japanese, "932", sjis},
        // Each has a stand-in in 932: best-fit 'e', best-fit 5C (a path separator), the default '?'.
        {"932 refuses e-acute", u"C:\\caf\u00E9.jpg", "932", std::nullopt},
        {"932 refuses the yen sign U+00A5", u"C:\\\u00A5\\a.jpg", "932", std::nullopt},
        {"932 refuses U+4E02, outside JIS X 0208", u"C:\\\u4E02.jpg", "932", std::nullopt},
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

    check(tessaro::encodeForShell(japanese, "932") == sjis, "encodeForShell keeps Shift_JIS when it fits");
    const std::string wide = tessaro::encodeForShell(u"C:\\caf\u00E9\\\u6D77.jpg", "932");
    const std::string utf16("\xFF\xFE" "C\0:\0\\\0c\0a\0f\0\xE9\0\\\0\x77\x6D.\0j\0p\0g\0", 2 + 2 * 13);
    check(wide == utf16, "encodeForShell falls back to FF FE and UTF-16LE when 932 lacks a character", hex(wide));

    const fs::path source = scratch / L"元 source" / L"海 の 写真.jpg";
    const fs::path target = scratch / L"コピー先 target";
    fs::create_directories(source.parent_path());
    fs::create_directories(target);
    std::string content;
    for (int i = 0; i < 16384; ++i)
        content += static_cast<char>((i + i / 256) & 0xFF);
    std::ofstream(source, std::ios::binary) << content;
    os::copyToFolder(source, target, [](const fs::path&) { return true; });
    std::ifstream copied(target / source.filename(), std::ios::binary);
    check(std::string(std::istreambuf_iterator<char>(copied), {}) == content,
          "copyToFolder() puts the source's bytes into the folder under its own name");

    // A trailing backslash would escape the closing quote of the command line.
    for (const std::wstring written : {L"Tessaro 写真 フォルダ", L"末尾 slash\\"}) {
        const fs::path folder = scratch / written;
        fs::create_directories(folder);
        const DWORD before = ::GetFileAttributesW(folder.c_str());
        os::markSystem(folder);
        // Read straight away: markSystem has to have waited for the command.
        const DWORD after = ::GetFileAttributesW(folder.c_str());
        check(!(before & FILE_ATTRIBUTE_SYSTEM) && after != INVALID_FILE_ATTRIBUTES && (after & FILE_ATTRIBUTE_SYSTEM),
              "markSystem(" + utf8(folder) + ") has set System when it returns", std::to_string(after));
    }

    check(static_cast<bool>(os::openFolder(scratch / L"存在しない missing", 0)), "openFolder() on a missing folder fails");

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
