// Loaded into a run of tessaro_decorate with LD_PRELOAD by the fault campaign (campaign.cpp):
// counts the file calls the run makes between the driver's two marks and makes one of them
// fail, or ends the process just before it, as a crash or a dying disk would.
//
//   TESSARO_FAULT=N:kill      SIGKILL just before the N-th call
//   TESSARO_FAULT=N:EIO       the N-th call fails with EIO (also ENOSPC, EROFS)
//   TESSARO_FAULT_TRACE=FILE  the name of every call counted, one a line, written at the second mark
//
// Only the C library's entry points are seen: a call the library makes inside another (the
// open inside opendir) counts as that one. Structures are passed through as void*, so that no
// header's declaration of these functions has to be matched.

#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

static int armed;
static long counted;
static long target = -1;
static int failure; // an errno value; 0: kill
static char trace[1 << 20];
static size_t traced;

static void configure(void)
{
    static const char* const names[] = {"kill", "EIO", "ENOSPC", "EROFS"};
    static const int errors[] = {0, EIO, ENOSPC, EROFS};
    const char* fault = getenv("TESSARO_FAULT");
    char* rest = NULL;
    const long n = fault ? strtol(fault, &rest, 10) : -1;
    for (size_t i = 0; rest && *rest == ':' && i < sizeof errors / sizeof *errors; ++i) {
        if (strcmp(rest + 1, names[i]) == 0) {
            target = n;
            failure = errors[i];
        }
    }
}

static void writeTrace(void)
{
    const char* path = getenv("TESSARO_FAULT_TRACE");
    if (!path)
        return;
    const int fd = (int)syscall(SYS_openat, -100 /* AT_FDCWD */, path, 01 | 0100 | 01000 | 02000000, 0600); // O_WRONLY|O_CREAT|O_TRUNC|O_CLOEXEC
    if (fd < 0)
        return;
    syscall(SYS_write, fd, trace, traced);
    syscall(SYS_close, fd);
}

// The driver's marks: not file calls of the run.
static int mark(const char* path)
{
    if (!path || path[0] != '\1' || strncmp(path + 1, "tessaro-fault-", 14) != 0)
        return 0;
    configure();
    if (strcmp(path + 15, "arm") == 0) {
        __atomic_store_n(&armed, 1, __ATOMIC_SEQ_CST);
    } else {
        __atomic_store_n(&armed, 0, __ATOMIC_SEQ_CST);
        writeTrace();
    }
    return 1;
}

// True when this call is to fail (errno set); does not return when the process is to end.
static int fault(const char* name)
{
    if (!__atomic_load_n(&armed, __ATOMIC_SEQ_CST))
        return 0;
    const long n = __atomic_add_fetch(&counted, 1, __ATOMIC_SEQ_CST);
    const size_t length = strlen(name);
    size_t at = __atomic_fetch_add(&traced, length + 1, __ATOMIC_SEQ_CST);
    if (at + length + 1 <= sizeof trace) {
        memcpy(trace + at, name, length);
        trace[at + length] = '\n';
    }
    if (n != target)
        return 0;
    if (failure == 0)
        syscall(SYS_kill, syscall(SYS_getpid), SIGKILL);
    errno = failure;
    return 1;
}

#define REAL(name) \
    static __typeof__(name)* real; \
    if (!real) \
        real = (__typeof__(name)*)dlsym(RTLD_NEXT, #name)

// A call whose failure is `failed` with errno set.
#define WRAP(type, name, failed, params, args) \
    type name params \
    { \
        REAL(name); \
        if (fault(#name)) \
            return failed; \
        return real args; \
    }
#define CALL(type, name, params, args) WRAP(type, name, -1, params, args)
#define POINTER(type, name, params, args) WRAP(type, name, NULL, params, args)

// open and its kin take a mode only when they create.
#define OPEN(name, params, args, flagsArg) \
    int name params \
    { \
        REAL(name); \
        mode_t mode = 0; \
        if (flagsArg & (0100 | 020200000)) { /* O_CREAT | O_TMPFILE */ \
            va_list list; \
            va_start(list, flagsArg); \
            mode = va_arg(list, mode_t); \
            va_end(list); \
        } \
        if (fault(#name)) \
            return -1; \
        return real args; \
    }

OPEN(open, (const char* path, int flags, ...), (path, flags, mode), flags)
OPEN(open64, (const char* path, int flags, ...), (path, flags, mode), flags)
OPEN(openat, (int dir, const char* path, int flags, ...), (dir, path, flags, mode), flags)
OPEN(openat64, (int dir, const char* path, int flags, ...), (dir, path, flags, mode), flags)
CALL(int, __open_2, (const char* path, int flags), (path, flags))
CALL(int, __open64_2, (const char* path, int flags), (path, flags))
CALL(int, __openat_2, (int dir, const char* path, int flags), (dir, path, flags))
CALL(int, __openat64_2, (int dir, const char* path, int flags), (dir, path, flags))
CALL(int, creat, (const char* path, mode_t mode), (path, mode))
CALL(int, creat64, (const char* path, mode_t mode), (path, mode))

// A failed close frees the descriptor all the same, as Linux's does.
int close(int fd)
{
    REAL(close);
    if (fault("close")) {
        const int error = errno;
        real(fd);
        errno = error;
        return -1;
    }
    return real(fd);
}

CALL(ssize_t, read, (int fd, void* buffer, size_t size), (fd, buffer, size))
CALL(ssize_t, pread, (int fd, void* buffer, size_t size, off_t at), (fd, buffer, size, at))
CALL(ssize_t, pread64, (int fd, void* buffer, size_t size, off_t at), (fd, buffer, size, at))
CALL(ssize_t, write, (int fd, const void* buffer, size_t size), (fd, buffer, size))
CALL(ssize_t, pwrite, (int fd, const void* buffer, size_t size, off_t at), (fd, buffer, size, at))
CALL(ssize_t, pwrite64, (int fd, const void* buffer, size_t size, off_t at), (fd, buffer, size, at))
CALL(ssize_t, copy_file_range, (int in, off_t* inAt, int out, off_t* outAt, size_t size, unsigned flags),
     (in, inAt, out, outAt, size, flags))
CALL(ssize_t, sendfile, (int out, int in, void* at, size_t size), (out, in, at, size))
CALL(ssize_t, sendfile64, (int out, int in, void* at, size_t size), (out, in, at, size))
CALL(int, fsync, (int fd), (fd))
CALL(int, fdatasync, (int fd), (fd))
CALL(int, ftruncate, (int fd, off_t size), (fd, size))
CALL(int, ftruncate64, (int fd, off_t size), (fd, size))
CALL(int, fchmod, (int fd, mode_t mode), (fd, mode))
CALL(int, chmod, (const char* path, mode_t mode), (path, mode))

CALL(int, rename, (const char* from, const char* to), (from, to))
CALL(int, renameat, (int fromDir, const char* from, int toDir, const char* to), (fromDir, from, toDir, to))
CALL(int, renameat2, (int fromDir, const char* from, int toDir, const char* to, unsigned flags), (fromDir, from, toDir, to, flags))
CALL(int, link, (const char* from, const char* to), (from, to))
CALL(int, linkat, (int fromDir, const char* from, int toDir, const char* to, int flags), (fromDir, from, toDir, to, flags))
CALL(int, symlink, (const char* target, const char* path), (target, path))
CALL(int, unlink, (const char* path), (path))
CALL(int, unlinkat, (int dir, const char* path, int flags), (dir, path, flags))
CALL(int, remove, (const char* path), (path))
CALL(int, mkdir, (const char* path, mode_t mode), (path, mode))
CALL(int, mkdirat, (int dir, const char* path, mode_t mode), (dir, path, mode))
CALL(int, rmdir, (const char* path), (path))

CALL(int, stat, (const char* path, void* info), (path, info))
CALL(int, stat64, (const char* path, void* info), (path, info))
CALL(int, lstat, (const char* path, void* info), (path, info))
CALL(int, lstat64, (const char* path, void* info), (path, info))
CALL(int, fstat, (int fd, void* info), (fd, info))
CALL(int, fstat64, (int fd, void* info), (fd, info))
CALL(int, fstatat, (int dir, const char* path, void* info, int flags), (dir, path, info, flags))
CALL(int, fstatat64, (int dir, const char* path, void* info, int flags), (dir, path, info, flags))
CALL(int, statx, (int dir, const char* path, int flags, unsigned mask, void* info), (dir, path, flags, mask, info))
CALL(int, statfs, (const char* path, void* info), (path, info))
CALL(int, statfs64, (const char* path, void* info), (path, info))
CALL(int, fstatfs, (int fd, void* info), (fd, info))
CALL(int, fstatfs64, (int fd, void* info), (fd, info))
CALL(int, faccessat, (int dir, const char* path, int mode, int flags), (dir, path, mode, flags))
CALL(ssize_t, readlink, (const char* path, char* buffer, size_t size), (path, buffer, size))
CALL(ssize_t, readlinkat, (int dir, const char* path, char* buffer, size_t size), (dir, path, buffer, size))
POINTER(char*, realpath, (const char* path, char* resolved), (path, resolved))
POINTER(char*, canonicalize_file_name, (const char* path), (path))

int access(const char* path, int mode)
{
    REAL(access);
    if (mark(path))
        return 0;
    if (fault("access"))
        return -1;
    return real(path, mode);
}

POINTER(void*, opendir, (const char* path), (path))
POINTER(void*, fdopendir, (int fd), (fd))
POINTER(void*, readdir, (void* dir), (dir))
POINTER(void*, readdir64, (void* dir), (dir))

CALL(ssize_t, getxattr, (const char* path, const char* name, void* value, size_t size), (path, name, value, size))
CALL(ssize_t, lgetxattr, (const char* path, const char* name, void* value, size_t size), (path, name, value, size))
CALL(ssize_t, fgetxattr, (int fd, const char* name, void* value, size_t size), (fd, name, value, size))
CALL(int, setxattr, (const char* path, const char* name, const void* value, size_t size, int flags), (path, name, value, size, flags))
CALL(int, lsetxattr, (const char* path, const char* name, const void* value, size_t size, int flags), (path, name, value, size, flags))
CALL(int, fsetxattr, (int fd, const char* name, const void* value, size_t size, int flags), (fd, name, value, size, flags))
CALL(int, flock, (int fd, int operation), (fd, operation))

// ioctl and fcntl pass their optional third argument on as a pointer, whatever it is.
#define VARIADIC(name, request) \
    int name(int fd, request command, ...) \
    { \
        REAL(name); \
        va_list list; \
        va_start(list, command); \
        void* argument = va_arg(list, void*); \
        va_end(list); \
        if (fault(#name)) \
            return -1; \
        return real(fd, command, argument); \
    }
VARIADIC(ioctl, unsigned long)
VARIADIC(fcntl, int)
VARIADIC(fcntl64, int)
