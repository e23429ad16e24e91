#pragma once

// The operating system's services, behind one header. Each feature has one file per
// platform (volumes_win.cpp and volumes_posix.cpp, ...) and CMake picks them. The Windows
// files need only the standard library and the Windows SDK, so they build and run under
// mingw-w64 and Wine without Qt; the POSIX files may use Qt Core.

#include <array>
#include <bitset>
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

// Ends the program with `code` once the window and everything it started have been taken
// down. On Windows the process ends there and then: what is left would only unload the
// system's and the toolkit's libraries, which can wait forever on a lock that a worker thread
// held when the system stopped it. Elsewhere it is std::exit.
[[noreturn]] void endProgram(int code);

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

// Converts `bytes` in `encoding` to UTF-16. Empty when they are not valid there, or when
// they would not come back byte for byte from encodeExactly() (a character that some
// tables read one way only), so that text read with it can be written back unchanged.
std::optional<std::u16string> decodeExactly(std::string_view bytes, const std::string& encoding);

// Asked before an existing file is replaced; true replaces it.
using ConfirmReplace = std::function<bool(const Path& existing)>;

// Whether the caller has already asked the user about the file that copyToFolder() meets.
enum class ReplaceQuestion { NotAsked, AlreadyAnswered };

// What a copy into a folder did. Without `placed`, nothing changed in the folder (a failure in
// `error`, or a No). With `placed`, the copy has taken its name; an `error` then is one that
// came after and leaves it there (the folder could not be synced to the disk).
struct CopyOutcome {
    bool placed = false;
    // False where the copy is the shell's and its result is not examined (Windows): whether
    // the file there is the copy has to be read back.
    bool examined = true;
    std::error_code error;
};

// Called with the file that is about to take its name in the folder, so that it appears with
// what it needs already set (its DOS attributes); a failure stops the copy, nothing changed.
using PrepareCopy = std::function<std::error_code(const Path& file)>;

// Copies `source` into `folder` under its own file name. Windows: the shell copies it with
// its own progress and error dialogs and, unless `question` says the user has already
// answered, its own confirmations (once answered, a link in the file's place is removed
// first, so that the shell never writes through it); the result is not examined and
// `prepare` is not called: the caller sets on the copy afterwards what it would have set.
// Linux: `confirm` is asked before an existing file is replaced (a No is not an error),
// the replacement is atomic, and a failure comes back for the caller to show.
// A regular file replaced passes its DOS attributes on to its replacement, and on Linux its
// permissions, and its owner and group where the process may set them; `prepare` is called
// after that.
CopyOutcome copyToFolder(const Path& source, const Path& folder, const ConfirmReplace& confirm,
                         ReplaceQuestion question = ReplaceQuestion::NotAsked, const PrepareCopy& prepare = {});

// Copies `source` into `folder` as `name`, never over anything already there (EEXIST on
// Linux, ERROR_FILE_EXISTS or ERROR_ALREADY_EXISTS on Windows when the name is taken): the
// file appears whole under its name or not at all. Only a regular file is copied
// (Failure::NotAFile otherwise); it is opened without waiting on a pipe.
CopyOutcome copyAsNew(const Path& source, const Path& folder, const Path& name);

// Removes the file `name` from `folder`, a copy this run made, unless `stillWanted` says it is
// needed after all; then it gets its name back, never over a file that took the name
// meanwhile. `stillWanted` is asked while the file cannot be opened under its name (it is set
// aside under a hidden one, `aside` in `folder`), so that another run that names the file in a
// decoration and then makes sure it is there either finds it gone, and copies it again, or is
// seen by `stillWanted`. `removed` tells which came of it.
std::error_code takeBack(const Path& folder, const Path& name, const std::function<bool(const Path& aside)>& stillWanted,
                         bool& removed);

// Clears `folder` of what runs of this program that ended before their time left there:
// copies still being written when the run ended (removed), and copies set aside by
// takeBack() (given their names back when `wanted` says the folder's decoration names them
// and the name is free, else removed). Those of runs still going are left alone.
void removeLeftovers(const Path& folder, const std::function<bool(const Path& name)>& wanted);

// Keeps a folder this run works in marked as in use while it lives, however the process
// ends, so that removeStaleFolders() of another run leaves it alone.
class FolderHold {
public:
    explicit FolderHold(const Path& folder);
    ~FolderHold();
    FolderHold(const FolderHold&) = delete;
    FolderHold& operator=(const FolderHold&) = delete;
    // False when the folder could not be held, or is no longer there.
    bool held() const { return m_held; }

private:
    std::intptr_t m_handle;
    bool m_held = false;
};

// Removes the folders in `base` named `prefix` and six letters or digits (the runs' staging
// folders) that no running process holds.
void removeStaleFolders(const Path& base, std::string_view prefix);

// Creates `file` with `bytes`, on the disk when this returns. Never opens anything already
// there, a link included: EEXIST (Linux) or ERROR_FILE_EXISTS (Windows) when the name is taken.
std::error_code writeNewFile(const Path& file, std::string_view bytes);

// What stands at a path, looked at without following a link at its end and without opening
// anything that could block (a pipe, a device).
struct Entry {
    enum class Kind { Absent, RegularFile, Folder, Other }; // Other: a link, a pipe, a device
    Kind kind = Kind::Absent;
    std::string bytes; // a regular file's contents, when read

    friend bool operator==(const Entry&, const Entry&) = default;
};

// Looks at `path`, reading a regular file whole when `read` is true: EFBIG (Linux) or
// ERROR_FILE_TOO_LARGE (Windows) when it holds more than `limit` bytes.
std::error_code inspect(const Path& path, bool read, std::size_t limit, Entry& entry);

// Opens `path` for reading when it is a regular file, a link at its end followed, without
// waiting on a pipe or acting on a device: Failure::NotAFile for anything else. `fd` is a C
// library descriptor, the kind QFile::open() takes, for the caller to close.
std::error_code openRegularFile(const Path& path, int& fd);

// Whether `file` is a regular file (a link at its end not followed) whose bytes are those of
// the regular file `source`.
std::error_code sameContents(const Path& file, const Path& source, bool& same);

// Gives `folder` the DOS System attribute, keeping every other attribute it has.
// Windows: a hidden "Attrib +s" run, waited for; only a failure to start it is reported.
// Linux: through the filesystem's own DOS-attribute channel; every failure is reported.
std::error_code markSystem(const Path& folder);

// Gives the regular file `file` the DOS Hidden and System attributes, keeping every other
// attribute it has, as the shell keeps a folder's desktop.ini. Windows: the file's attributes;
// Linux: the same channels as markSystem(). A link is never followed.
std::error_code markHiddenSystem(const Path& file);

// Whether the user may not change the regular file `file` (a link at its end not followed): its
// permissions deny writing it, or it has the DOS Read-only attribute, which Windows, Samba and
// Wine heed.
std::error_code readOnly(const Path& file, bool& readOnly);

// Tells the file manager that `folder`'s contents changed, so that a window showing it reads
// it again. Nothing to do on Linux: the file managers there watch folders themselves.
void notifyFolderChanged(const Path& folder);

// Whether a folder's decoration may be read by another machine, which can open neither this
// machine's full paths nor know its code page: always on Linux (Windows reads the folder over
// a share, from a stick or from the disk itself); on Windows when the folder is on a removable
// drive or a network share, or its drive's type is unknown.
bool readerMayBeElsewhere(const Path& folder);

// The code page the reader of a desktop.ini decodes an ANSI file with, named as encodeExactly()
// takes it: the ANSI code page on Windows; on Linux 932 ("CP932"), that of the Japanese
// Windows the program serves, which reads a folder over a share, from a stick or from the disk.
std::string readerEncoding();

// Whether text may be written in readerEncoding(): on Windows, whose reader is this machine,
// yes; on Linux no, as the reader may after all be a Windows of another code page, and ASCII
// and UTF-16LE with a byte-order mark read the same to all of them.
bool readerEncodingCertain();

// The bytes that start a two-byte character in `encoding` (as systemEncoding() names them);
// none for a single-byte page or UTF-8.
std::bitset<256> leadBytes(const std::string& encoding);

// Opens `folder` in the desktop's file manager. Linux: through xdg-open, which hands it to
// the file manager the desktop has set up.
std::error_code openFolder(const Path& folder, NativeWindow owner);

// Failures that have no number of their own in errno or in Windows' error codes.
enum class Failure {
    NoFileManager = 1,        // nothing is set up to open a folder
    OpenerFailed,             // the file manager was started but could not open the folder
    UnknownAttributeFormat,   // the stored DOS attributes are in a form this program does not write
    NotAFile,                 // a folder, a pipe or a device where a regular file is needed
};
const std::error_category& failureCategory();
std::error_code make_error_code(Failure failure);

// What kind of failure a system error is, the same on every platform, so that the window
// can describe an errno value and a Windows error code alike.
enum class ErrorKind {
    Unknown,
    NotFound,          // no such file or folder
    NotAFolder,        // a file where a folder should be
    FolderInTheWay,    // a folder where a file should be
    AccessDenied,
    ReadOnlyVolume,
    DiskFull,
    QuotaExceeded,
    FileTooLarge,
    NotSupported,      // the filesystem cannot do it
    IoError,
    Busy,              // in use by another program
    NameTooLong,
    TooManyLinks,      // a loop of links, or more links than a file can have
    NameTaken,
    InvalidName,       // a name the filesystem cannot hold
    InvalidArgument,   // an operation this place or file does not allow
    OutOfMemory,
    TooManyOpenFiles,
    TryAgain,
    NoAttribute,       // the filesystem holds no attribute where one should be
    NetworkFailure,
    NoMedium,          // no disk in the drive, or the device is gone
    Cancelled,
};
ErrorKind errorKind(std::error_code error);

} // namespace tessaro::os
