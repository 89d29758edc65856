// Replacing a file through a temporary one and rename(): readers see the old
// file or the new one, never a part of either, even when the disk fills up
// or the program is stopped half-way.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "io/replace.h"

static bool fail(int *error, int code)
{
    if (error)
        *error = code ? code : EIO;
    return false;
}

static size_t nameStart(const std::string &path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// The temporary name adds 15 characters to the target's name, which is cut
// so that the sum stays within the usual 255-byte limit of a file name.
const size_t TEMPORARY_NAME_ROOM = 200;

static std::string temporaryPattern(const std::string &target)
{
    size_t start = nameStart(target);
    size_t keep = std::min(TEMPORARY_NAME_ROOM, target.size() - start);
    return target.substr(0, start + keep) + ".partial-XXXXXX";
}

static mode_t newFileMode()
{
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// An open file beside path with the given permissions; -1 on failure.
static int makeTemporary(const std::string &path, mode_t mode, std::string &temporary, int *error)
{
    temporary = temporaryPattern(path);
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        fail(error, errno);
        return -1;
    }
    if (fchmod(fd, mode) == 0)
        return fd;
    int code = errno;
    close(fd);
    unlink(temporary.c_str());
    fail(error, code);
    return -1;
}

// The rename is already done when this runs; a folder that cannot be synced
// cannot undo it, and the file is whole under its new name either way.
static void syncFolderOf(const std::string &path)
{
    size_t start = nameStart(path);
    std::string folder = start == 0 ? "." : path.substr(0, std::max<size_t>(start - 1, 1));
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    int synced = fsync(fd);
    (void)synced;
    close(fd);
}

// Links followed one by one stop after this many, as the kernel's do.
const int MOST_LINKS = 40;

// The file a link names, read relative to the link's folder.
static std::string linkTarget(const std::string &link)
{
    std::string target(PATH_MAX, '\0');
    ssize_t length = readlink(link.c_str(), target.data(), target.size());
    if (length <= 0 || (size_t)length >= target.size())
        return link;
    target.resize((size_t)length);
    size_t start = nameStart(link);
    return target[0] == '/' || start == 0 ? target : link.substr(0, start) + target;
}

std::string replacedPath(const char *path)
{
    char *real = realpath(path, nullptr);
    std::string target = real ? real : path;
    free(real);
    struct stat info;
    // realpath fails on a link to a file that does not exist yet: follow it by hand
    for (int hop = 0; !real && hop < MOST_LINKS && lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode); hop++)
        target = linkTarget(target);
    return target;
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

// Fills a new temporary file beside path; on failure it is gone again.
static bool fillTemporary(const std::string &path, mode_t mode, bool (*write)(FILE *, void *), void *context,
                          std::string &temporary, int *error)
{
    int fd = makeTemporary(path, mode, temporary, error);
    if (fd < 0)
        return false;
    int code = 0;
    FILE *file = fdopen(fd, "wb");
    if (!file) {
        code = errno;
        close(fd);
    } else if (writeAll(file, write, context, &code)) {
        return true;
    }
    unlink(temporary.c_str());
    return fail(error, code);      // code 0 (EIO): write() failed without a reason
}

bool writeTemporary(const char *path, bool (*write)(FILE *file, void *context), void *context,
                    std::string &temporary, int *error)
{
    return fillTemporary(path, newFileMode(), write, context, temporary, error);
}

// A replaced file keeps its permissions; a new one gets those of any new file.
bool replaceFile(const char *path, bool (*write)(FILE *file, void *context), void *context, int *error)
{
    std::string target = replacedPath(path), temporary;
    struct stat old;
    if (lstat(target.c_str(), &old) == 0 && S_ISLNK(old.st_mode))
        return fail(error, ELOOP);          // links in a loop, or too many of them
    bool exists = stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return fail(error, S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    mode_t mode = exists ? old.st_mode & 07777 : newFileMode();
    if (!fillTemporary(target, mode, write, context, temporary, error))
        return false;
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        int code = errno;
        unlink(temporary.c_str());
        return fail(error, code);
    }
    syncFolderOf(target);
    return true;
}

// A file system without the no-replace rename still refuses a hard link over
// an existing name.
static bool renameNoReplace(const char *from, const char *to, int *error)
{
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return fail(error, errno);
    if (link(from, to) != 0)
        return fail(error, errno);
    unlink(from);
    return true;
}

bool placeNewFile(const char *temporary, const char *path, int *error)
{
    if (!renameNoReplace(temporary, path, error))
        return false;
    syncFolderOf(path);
    return true;
}
