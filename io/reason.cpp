// The errno values a user meets with figure files and screenshots get words
// of their own; any other falls back to the C library's text.
#include <cerrno>
#include <cstring>
#include "io/reason.h"

struct reasonWords { int error; const char *text; };

static const reasonWords ownWords[] = {
    { ENOENT, "no such file or folder" },
    { EACCES, "permission denied" },
    { EPERM, "permission denied" },
    { ENOSPC, "the disk is full" },
    { EDQUOT, "the disk quota is used up" },
    { EROFS, "read-only file system" },
    { EISDIR, "it is a folder" },
    { ENOTDIR, "part of the path is not a folder" },
    { ENAMETOOLONG, "the name is too long" },
    { EFBIG, "the file is too large" },
    { EIO, "input/output error" },
};

const char *reasonText(int error)
{
    for (const reasonWords &words : ownWords)
        if (words.error == error)
            return words.text;
    return strerror(error);
}
