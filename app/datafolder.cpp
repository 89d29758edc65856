// Choosing the folder of the figures and screenshots, and making it ready.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "app/datafolder.h"
#include "io/figurename.h"
#include "io/replace.h"

// The installed starter gallery: LATTICE_DATA_RELATIVE is the data folder
// seen from the installed program's folder, so that a copy installed under
// any prefix finds its own; LATTICE_DATA_DIR is where the build meant to
// install it.
#ifndef LATTICE_DATA_RELATIVE
#define LATTICE_DATA_RELATIVE "../share/latticegraph"
#endif
#ifndef LATTICE_DATA_DIR
#define LATTICE_DATA_DIR "/usr/local/share/latticegraph"
#endif

static bool isFolder(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

static bool hasGallery(const std::string &folder)
{
    return isFolder(folder + "/gallery");
}

// The base directory's own rules: a relative or empty XDG_DATA_HOME is
// ignored.
static std::string userFolder(const char *xdgDataHome, const char *home)
{
    if (xdgDataHome && xdgDataHome[0] == '/')
        return std::string(xdgDataHome) + "/latticegraph";
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/latticegraph";
    return "";
}

static std::string failure(const std::string &what, const std::string &path, int error)
{
    return "cannot " + what + " " + path + ": " + strerror(error);
}

// Every missing folder on the way is made private to the user, as the base
// directory rules ask of the folders they name.
static bool makeFolders(const std::string &path, std::string *error)
{
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        std::string part = path.substr(0, end);
        if (mkdir(part.c_str(), 0700) != 0 && !(errno == EEXIST && isFolder(part))) {
            *error = failure("make the folder", part, errno == EEXIST ? ENOTDIR : errno);
            return false;
        }
        if (end == std::string::npos)
            return true;
    }
}

static bool copyBytes(FILE *to, void *context)
{
    FILE *from = (FILE *)context;
    char block[8192];
    size_t n;
    while ((n = fread(block, 1, sizeof block, from)) > 0)
        if (fwrite(block, 1, n, to) != n)
            return false;
    return ferror(from) == 0;
}

static bool copyFile(const std::string &from, const std::string &to, std::string *error)
{
    FILE *in = fopen(from.c_str(), "rb");
    int code = errno;
    bool copied = in && replaceFile(to.c_str(), copyBytes, in, &code);
    if (in)
        fclose(in);
    if (!copied)
        *error = failure("copy the starter figure to", to, code);
    return copied;
}

static std::vector<std::string> figureFiles(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *list = opendir(folder.c_str());
    if (!list)
        return names;
    while (const dirent *entry = readdir(list)) {
        std::string name = entry->d_name;
        struct stat info;
        if (isFigureName(entry->d_name) && stat((folder + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
            names.push_back(name);
    }
    closedir(list);
    return names;
}

static void removeFolder(const std::string &folder)
{
    for (const std::string &name : figureFiles(folder))
        unlink((folder + "/" + name).c_str());
    rmdir(folder.c_str());
}

// The copy is made in a folder of its own and renamed to gallery/ when it is
// whole, so that an interrupted first start leaves no half gallery that a
// later start would take for the user's.
static bool copyGallery(const std::string &from, const std::string &folder, std::string *error)
{
    std::string scratch = folder + "/.gallery-XXXXXX";
    if (!mkdtemp(scratch.data())) {
        *error = failure("make a folder in", folder, errno);
        return false;
    }
    for (const std::string &name : figureFiles(from)) {
        if (!copyFile(from + "/" + name, scratch + "/" + name, error)) {
            removeFolder(scratch);
            return false;
        }
    }
    if (rename(scratch.c_str(), (folder + "/gallery").c_str()) != 0) {
        bool raced = hasGallery(folder);    // another start made it meanwhile
        if (!raced)
            *error = failure("make the folder", folder + "/gallery", errno);
        removeFolder(scratch);
        return raced;
    }
    return true;
}

std::string prepareDataFolder(const std::string &working, const char *xdgDataHome, const char *home,
                              const std::string &starterGallery, std::string *error)
{
    if (hasGallery(working))
        return working;
    std::string folder = userFolder(xdgDataHome, home);
    if (folder.empty()) {
        *error = "no home folder is known (HOME is unset or not an absolute path)";
        return "";
    }
    if (!makeFolders(folder, error))
        return "";
    if (!hasGallery(folder) && isFolder(starterGallery) && !copyGallery(starterGallery, folder, error))
        return "";
    return folder;
}

static const char *homeFolder()
{
    const char *home = getenv("HOME");
    if (home && home[0] != 0)
        return home;
    const passwd *user = getpwuid(getuid());
    return user ? user->pw_dir : nullptr;
}

static std::string workingFolder()
{
    char path[PATH_MAX];
    return getcwd(path, sizeof path) ? path : ".";
}

static std::string programFolder()
{
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "";
    path[length] = 0;
    char *slash = strrchr(path, '/');
    return slash ? std::string(path, slash - path) : "";
}

static std::string starterGallery()
{
    std::string besideProgram = programFolder() + "/" LATTICE_DATA_RELATIVE "/gallery";
    return isFolder(besideProgram) ? besideProgram : LATTICE_DATA_DIR "/gallery";
}

bool enterDataFolder()
{
    std::string working = workingFolder(), error;
    std::string folder = prepareDataFolder(working, getenv("XDG_DATA_HOME"), homeFolder(), starterGallery(), &error);
    if (!folder.empty() && folder != working && chdir(folder.c_str()) != 0)
        error = failure("use the folder", folder, errno);
    else if (!folder.empty())
        return true;
    fprintf(stderr, "latticegraph: %s; figures and screenshots stay in the working folder.\n", error.c_str());
    return false;
}

std::string dataFolderPath()
{
    std::string working = workingFolder();
    return hasGallery(working) ? working : userFolder(getenv("XDG_DATA_HOME"), homeFolder());
}

std::string dataFolderDescription()
{
    const char *parts = " (figures in gallery/, screenshots in Screenshots/, the history of figures that Ctrl+Z "
                        "walks back through in figure-history.txt: remove that file to clear it)";
    std::string working = workingFolder();
    if (hasGallery(working))
        return "Data folder: the working folder " + working + ", as it has a gallery/ folder" + parts;
    std::string folder = userFolder(getenv("XDG_DATA_HOME"), homeFolder());
    if (folder.empty())
        return "Data folder: the working folder " + working + ", as no home folder is known" + parts;
    return "Data folder: " + folder + ", as the working folder has no gallery/ folder" + parts +
           "; the first start copies the starter figures there";
}
