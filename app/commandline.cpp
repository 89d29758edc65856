// Parsing the command line, the usage text, and the dispatch to the window
// or the export.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "app/app.h"
#include "app/commandline.h"
#include "app/datafolder.h"
#include "figure/figure.h"
#include "formula/formula.h"
#include "ui/screen.h"

#ifndef LATTICE_VERSION
#define LATTICE_VERSION "unknown"
#endif

// --help prints it to stdout; a usage error prints it to stderr.
static const char *const USAGE[] = {
    "Usage: latticegraph [--scale N] [FIGURE.fig]",
    "       latticegraph --export FIGURE.fig|default OUT.png [--size N] [--refine X,Y,Z] [--threads N] [--auto-gain]",
    "       latticegraph --explain TEXT...",
    "Opens the window with FIGURE.fig loaded (or the default figure), or exports a figure as a PNG file.",
    "A FIGURE named without a folder that the working folder lacks is read from the data folder's gallery/.",
    "  --scale N            show the window at N times the picture's 640x480, N from 1 to 8 (default: the",
    "                       largest that fits the desktop); Ctrl+= and Ctrl+- change it while it runs",
    "  --export FIGURE OUT  render FIGURE (a file, or the word default) into the PNG file OUT (- for standard",
    "                       output); no display needed; every finding of its formulas is a warning on stderr",
    "  --size N             the picture is N x N pixels, N even from 16 to 16384 (default 480)",
    "  --refine X,Y,Z       each axis's skip becomes skip x factor (default 480/N,480/N,1: the window's colours)",
    "  --threads N          render on N threads (default: one per core)",
    "  --auto-gain          colour with the smallest gain that takes the brightest 0.5% of lit cells to the top",
    "  --explain TEXT...    how each formula text is read: the part that counts, what is ignored (^), and",
    "                       each finding on a line of its own that starts \"col N:\"; every later argument is a text",
    "  --help               show this text and exit",
    "  --version            show the version and exit",
    "Exit status: 0 done; 1 the export failed, no display for the window, or a text given to --explain draws",
    "nothing; 2 a usage error, an unreadable figure or a sweep that never ends. Ctrl+C stops an export by its",
    "signal (status 130) and writes nothing.",
    "Example: latticegraph --export gallery/rose.fig rose.png --size 2048",
    "         latticegraph --explain 'sin(X)' 'X-Y'",
};

static void printUsage(FILE *out)
{
    for (const char *line : USAGE)
        fprintf(out, "%s\n", line);
}

// ---- option values ----

const int MAX_THREADS = 1024;

// A whole decimal number from low to high, nothing else in the text.
static bool wholeNumber(const char *text, long low, long high, int *value)
{
    char *end;
    errno = 0;
    long n = strtol(text, &end, 10);
    if (end == text || *end != 0 || errno != 0 || n < low || n > high || text[0] == ' ')
        return false;
    *value = (int)n;
    return true;
}

static bool readSize(const char *text, commandLine &command)
{
    exportRequest &request = command.request;
    return wholeNumber(text, EXPORT_SIZE_MIN, EXPORT_SIZE_MAX, &request.size) && request.size % 2 == 0;
}

// Three finite factors above 0, separated by commas.
static bool readRefine(const char *text, commandLine &command)
{
    exportRequest &request = command.request;
    const char *p = text;
    for (int axis = 0; axis < 3; axis++) {
        char *end;
        double factor = strtod(p, &end);
        if (end == p || !std::isfinite(factor) || !(factor > 0) || *end != (axis < 2 ? ',' : 0))
            return false;
        request.refine[axis] = factor;
        p = end + 1;
    }
    request.refineGiven = true;
    return true;
}

static bool readThreads(const char *text, commandLine &command)
{
    return wholeNumber(text, 1, MAX_THREADS, &command.request.threads);
}

static bool readScale(const char *text, commandLine &command)
{
    return wholeNumber(text, 1, SCALE_MAX, &command.scale);
}

// The options that take a value: name, reader, what it takes, whether it
// belongs to --export (or else to the window).
static const struct valueOption {
    const char *name;
    bool (*read)(const char *text, commandLine &command);
    const char *expected;
    bool forExport;
} VALUE_OPTIONS[] = {
    { "--size", readSize, "an even number from 16 to 16384", true },
    { "--refine", readRefine, "three numbers above 0 with commas between, like 0.5,0.5,1", true },
    { "--threads", readThreads, "a number from 1 to 1024", true },
    { "--scale", readScale, "a number from 1 to 8", false },
};

static const valueOption *valueOptionNamed(const std::string &name)
{
    for (const valueOption &option : VALUE_OPTIONS)
        if (name == option.name)
            return &option;
    return nullptr;
}

// ---- parsing ----

static commandLine usageError(commandLine command, const std::string &problem)
{
    command.action = commandAction::usageError;
    command.problem = problem;
    return command;
}

// One option at argv[*i] (--name or --name=value), its value taken from the
// next argument when it needs one. An empty text: it was read; *forExport
// then says whether it belongs to --export.
static std::string readOption(int argc, const char *const *argv, int *i, commandLine &command, bool *forExport)
{
    std::string arg = argv[*i];
    size_t equals = arg.find('=');
    const valueOption *option = valueOptionNamed(arg.substr(0, equals));
    if (!option)
        return "unknown option " + arg;
    const char *value = equals != std::string::npos ? argv[*i] + equals + 1 : *i + 1 < argc ? argv[++*i] : nullptr;
    if (!value)
        return std::string(option->name) + " needs a value: " + option->expected;
    if (!option->read(value, command))
        return std::string(option->name) + " takes " + option->expected + ", not \"" + value + "\"";
    *forExport = option->forExport;
    return "";
}

static commandLine finishExport(commandLine command, const std::vector<const char *> &operands)
{
    if (operands.size() != 2)
        return usageError(command, "--export needs a figure (or default) and an output file");
    command.action = commandAction::exportPicture;
    command.figure = operands[0];
    command.request.figureName = operands[0];
    command.request.outPath = operands[1];
    return command;
}

static commandLine finishExplain(commandLine command)
{
    if (command.texts.empty())
        return usageError(command, "--explain needs at least one formula text");
    command.action = commandAction::explain;
    return command;
}

commandLine parseCommandLine(int argc, const char *const *argv)
{
    commandLine command;
    std::vector<const char *> operands;
    bool exporting = false, optionsEnded = false;
    std::string exportOption, windowOption;     // the first option that needs --export, or the window
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        bool forExport = false;
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            operands.push_back(argv[i]);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            command.action = commandAction::help;
            return command;
        } else if (arg == "--version") {
            command.action = commandAction::version;
            return command;
        } else if (arg == "--export") {
            exporting = true;
        } else if (arg == "--explain") {
            command.texts.assign(argv + i + 1, argv + argc);
            return finishExplain(command);
        } else if (arg == "--auto-gain") {
            command.request.autoGain = true;
            if (exportOption.empty())
                exportOption = arg;
        } else if (std::string problem = readOption(argc, argv, &i, command, &forExport); !problem.empty()) {
            return usageError(command, problem);
        } else if ((forExport ? exportOption : windowOption).empty()) {
            (forExport ? exportOption : windowOption) = arg.substr(0, arg.find('='));
        }
    }
    if (exporting && !windowOption.empty())
        return usageError(command, windowOption + " is only for the window, not --export");
    if (exporting)
        return finishExport(command, operands);
    if (!exportOption.empty())
        return usageError(command, exportOption + " is only for --export");
    if (operands.size() > 1)
        return usageError(command, "the window opens one figure file, not " + std::to_string(operands.size()));
    command.figure = operands.empty() ? nullptr : operands[0];
    return command;
}

// ---- running ----

// The figure as a Load of path leaves it at start: the defaults, then every
// field the file holds. No path: the defaults alone.
static bool loadFigure(const char *path, figure &into)
{
    const char *reason = "";
    if (!path)
        into = defaultFigure();
    if (!path || readFigureOverDefaults(path, into, &reason))
        return true;
    fprintf(stderr, "latticegraph: cannot read %s: %s\n", path, reason);
    return false;
}

// A bare name (no folder in it) that the working folder does not have is
// looked for in the data folder's gallery/, where the window keeps figures,
// so that "latticegraph rose.fig" finds the starter figure from anywhere.
// The file to read goes to *path; false, after naming both places, when
// neither has it.
static bool findFigure(const char *given, std::string *path)
{
    *path = given;
    if (given[0] == 0 || strchr(given, '/') || access(given, F_OK) == 0 || errno != ENOENT)
        return true;
    std::string folder = dataFolderPath();
    std::string gallery = folder.empty() ? "the data folder (no home folder is known)" : folder + "/gallery";
    if (!folder.empty() && access((gallery + "/" + given).c_str(), F_OK) == 0) {
        *path = gallery + "/" + given;
        return true;
    }
    char here[PATH_MAX];
    fprintf(stderr, "latticegraph: cannot read %s: no such file in the working folder %s nor in %s\n", given,
            getcwd(here, sizeof here) ? here : ".", gallery.c_str());
    return false;
}

// The figure is read before the display opens: an unreadable file opens no window.
static int runWindow(const char *path, int scale)
{
    std::string found;
    figure loaded;
    if (path && !(findFigure(path, &found) && loadFigure(found.c_str(), loaded)))
        return STATUS_USAGE;
    if (!startup(path ? &loaded : nullptr, path ? found.c_str() : nullptr, scale))
        return STATUS_FAILED;
    mainLoop();
    shutdown();
    return STATUS_DONE;
}

// "--export a.fig a.fig" would replace the figure with its picture.
static bool sameFile(const char *a, const char *b)
{
    struct stat first, second;
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
}

static int runExport(const commandLine &command)
{
    bool isDefault = strcmp(command.figure, "default") == 0;
    std::string path;
    if (!isDefault && !findFigure(command.figure, &path))
        return STATUS_USAGE;
    figure fig;
    if (!loadFigure(isDefault ? nullptr : path.c_str(), fig))
        return STATUS_USAGE;
    bool toFile = strcmp(command.request.outPath, "-") != 0;     // "-" is standard output
    if (!isDefault && toFile && sameFile(path.c_str(), command.request.outPath)) {
        fprintf(stderr, "latticegraph: cannot write %s: it is the figure being exported\n", command.request.outPath);
        return STATUS_USAGE;
    }
    switch (exportFigure(fig, command.request)) {
    case exportOutcome::written:
        return STATUS_DONE;
    case exportOutcome::refused:
        return STATUS_USAGE;
    case exportOutcome::interrupted:
        return endByInterrupt();
    case exportOutcome::failed:
        break;
    }
    return STATUS_FAILED;
}

// ---- --explain ----

// A text as a terminal may show it; every byte takes the same width here as
// in markedBelow, so that the marks stand under their characters.
static std::string shownByte(unsigned char c)
{
    char shown[8];
    snprintf(shown, sizeof shown, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
    return shown;
}

// "^" under each character that a finding names as skipped or ignored.
static std::string markedBelow(const char *text, const std::vector<formulaFinding> &findings)
{
    std::string marks;
    for (int i = 0; text[i] != 0; i++) {
        bool named = false;
        for (const formulaFinding &f : findings)
            named |= (f.kind == findingKind::skipped || f.kind == findingKind::sideBySide
                      || f.kind == findingKind::minusApart || f.kind == findingKind::cut)
                     && i >= f.position && i < f.position + f.length;
        marks += std::string(shownByte((unsigned char)text[i]).size(), named ? '^' : ' ');
    }
    return marks.substr(0, marks.find_last_not_of(' ') + 1);
}

// True when the text draws.
static bool explainText(const char *text)
{
    std::vector<formulaFinding> findings = formulaFindings(text);
    std::string shown;
    for (int i = 0; text[i] != 0; i++)
        shown += shownByte((unsigned char)text[i]);
    std::string reading = formulaReading(text);
    printf("formula:  %s\n", shown.c_str());
    if (std::string marks = markedBelow(text, findings); !marks.empty())
        printf("ignored:  %s\n", marks.c_str());
    printf("reads as: %s\n", reading.empty() ? "nothing: it draws no point" : reading.c_str());
    for (const formulaFinding &f : findings)
        printf("col %d: %s\n", f.position + 1, f.message.c_str());
    return !reading.empty();
}

static int runExplain(const std::vector<const char *> &texts)
{
    bool allDraw = true;
    for (size_t i = 0; i < texts.size(); i++) {
        if (i > 0)
            printf("\n");
        allDraw &= explainText(texts[i]);
    }
    return allDraw ? STATUS_DONE : STATUS_FAILED;
}

int runCommandLine(int argc, const char *const *argv)
{
    commandLine command = parseCommandLine(argc, argv);
    switch (command.action) {
    case commandAction::help:
        printUsage(stdout);
        printf("%s\n", dataFolderDescription().c_str());
        return STATUS_DONE;
    case commandAction::version:
        printf("latticegraph %s\n", LATTICE_VERSION);
        return STATUS_DONE;
    case commandAction::usageError:
        fprintf(stderr, "latticegraph: %s\n", command.problem.c_str());
        printUsage(stderr);
        return STATUS_USAGE;
    case commandAction::exportPicture:
        return runExport(command);
    case commandAction::explain:
        return runExplain(command.texts);
    case commandAction::window:
        break;
    }
    return runWindow(command.figure, command.scale);
}
