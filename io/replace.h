// Files that appear whole or not at all. Knows nothing of the program.
#pragma once
#include <cstdio>
#include <string>

// Writes a new version of path: write() fills a temporary file in the same
// folder, which is flushed, synced to the disk and renamed over path, and the
// folder is synced after it. On any failure the temporary file is removed,
// path keeps exactly what it held (or stays absent), *error (if given) gets
// the errno value of the first failure (EIO when write() failed without one),
// and the result is false. A link at path is followed: the link stays and the
// file it names gets the new content. A folder at path is refused with
// EISDIR, any other file that is not a regular one (a device, a pipe) with
// EINVAL: renaming over it would put a plain file in its place.
bool replaceFile(const char *path, bool (*write)(FILE *file, void *context), void *context,
                 int *error = nullptr);

// The file that replaceFile(path) writes: path with its links followed,
// a link to a file that does not exist yet included.
std::string replacedPath(const char *path);

// For a file that must never replace another: write() fills a new file
// beside path (same folder, named after it, with the permissions of a new
// file), which is flushed, synced to the disk and closed; its name goes to
// temporary. On failure nothing is left and *error says why.
bool writeTemporary(const char *path, bool (*write)(FILE *file, void *context), void *context,
                    std::string &temporary, int *error);

// Gives the finished file temporary the name path and syncs the folder,
// unless something already has that name: then the result is false with
// *error EEXIST. Nothing is ever replaced; on failure temporary stays where
// it is, for the caller to try another name or to remove it.
bool placeNewFile(const char *temporary, const char *path, int *error);
