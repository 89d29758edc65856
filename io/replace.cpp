// Replacing a file through a temporary one and rename(): readers see the old
// file or the new one, never a part of either, even when the disk fills up
// or the program is stopped half-way.
#include <cerrno>
#include <cstdlib>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "io/replace.h"

// A new file gets the permissions plain fopen would give it; a replaced one
// keeps its own.
static mode_t modeFor(const char *path)
{
    struct stat info;
    if (stat(path, &info) == 0 && S_ISREG(info.st_mode))
        return info.st_mode & 07777;
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

static bool fail(int *error, int code)
{
    if (error)
        *error = code ? code : EIO;
    return false;
}

// Writes, flushes and syncs; closes the file in every case.
static bool writeAll(FILE *file, bool (*write)(FILE *, void *), void *context, int *code)
{
    errno = 0;
    bool written = write(file, context) && fflush(file) == 0 && fsync(fileno(file)) == 0;
    *code = errno;
    if (fclose(file) != 0 && written) {
        written = false;
        *code = errno;
    }
    return written;
}

bool replaceFile(const char *path, bool (*write)(FILE *file, void *context), void *context, int *error)
{
    std::string temporary = std::string(path) + ".partial-XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0)
        return fail(error, errno);
    int code = 0;
    FILE *file = fchmod(fd, modeFor(path)) == 0 ? fdopen(fd, "wb") : nullptr;
    if (!file) {
        code = errno;
        close(fd);
    } else if (!writeAll(file, write, context, &code)) {
        // code says why, or 0 when write() failed without a reason
    } else if (rename(temporary.c_str(), path) != 0) {
        code = errno;
    } else {
        return true;
    }
    unlink(temporary.c_str());
    return fail(error, code);
}
