#pragma once

// The operating system's services, behind one header. Each feature has one file per
// platform (volumes_win.cpp and volumes_posix.cpp, ...) and CMake picks them. The Windows
// files need only the standard library and the Windows SDK, so they build and run under
// mingw-w64 and Wine without Qt; the POSIX files may use Qt Core.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace tessaro::os {

using Path = std::filesystem::path;

// 0x00BBGGRR: red in the lowest byte, as the Windows shell reads it.
using ColourRef = std::uint32_t;

// The colour dialog's sixteen custom colours, four bytes each, low byte first.
using CustomColours = std::array<std::uint8_t, 64>;

// The native handle of a top-level window (HWND on Windows, the toolkit's window id elsewhere).
using NativeWindow = std::uintptr_t;

// Whether a window can be shown at all (on Linux: an X11 or Wayland display, or a
// platform chosen by QT_QPA_PLATFORM).
bool displayAvailable();

// The volumes a user would store pictures on, from the system's table of them alone: no
// volume is asked, so one that stopped answering cannot hold this up. Drive letters on
// Windows; on Linux the mounted filesystems without the kernel's pseudo filesystems.
std::vector<Path> volumes();

// The volume that holds the system: C:\ on Windows, "/" on Linux.
Path systemVolume();

// The root of the volume that holds `path` (which need not exist), from the table alone.
Path volumeOf(const Path& path);

// These two ask the volume (or, for a label on Linux, its device) and wait as long as it
// takes to answer: call them off the window's thread.
// False for a drive that holds no medium or has gone away, and for a mount point that is
// no folder (containers mount single files over the tree).
bool volumeReady(const Path& root);
// The volume's label; empty when it has none.
std::u16string volumeLabel(const Path& root);

// The user's documents and pictures folders as the desktop names them; empty when unknown.
std::optional<Path> documentsFolder();
std::optional<Path> picturesFolder();

// The encoding the system uses for text files: the ANSI code page as a number on Windows
// ("932"), the locale's codeset on Linux ("UTF-8", "SHIFT_JIS", "ANSI_X3.4-1968").
std::string systemEncoding();

// Converts UTF-16 text to `encoding` (as systemEncoding() names them). Empty when any
// character has no exact representation there: a substitute character is never produced.
std::optional<std::string> encodeExactly(std::u16string_view text, const std::string& encoding);

// Asked before an existing file is replaced; true replaces it.
using ConfirmReplace = std::function<bool(const Path& existing)>;

// Copies `source` into `folder` under its own file name. Windows: the shell copies it with
// its own confirmations, progress and error dialogs, and the result is not examined.
// Linux: `confirm` is asked before an existing file is replaced (a No is not an error),
// the replacement is atomic, and a failure comes back for the caller to show.
std::error_code copyToFolder(const Path& source, const Path& folder, const ConfirmReplace& confirm);

// Gives `folder` the DOS System attribute, keeping every other attribute it has.
// Windows: a hidden "Attrib +s" run, waited for; only a failure to start it is reported.
// Linux: through the filesystem's own DOS-attribute channel; every failure is reported.
std::error_code markSystem(const Path& folder);

// Opens `folder` in the desktop's file manager. Linux: through xdg-open, which hands it to
// the file manager the desktop has set up.
std::error_code openFolder(const Path& folder, NativeWindow owner);

// Failures that have no number of their own in errno or in Windows' error codes.
enum class Failure {
    NoFileManager = 1,  // nothing is set up to open a folder
    OpenerFailed,       // the file manager was started but could not open the folder
};
const std::error_category& failureCategory();
std::error_code make_error_code(Failure failure);

} // namespace tessaro::os
