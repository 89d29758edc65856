// Figure files and the gallery list.
#include <gtest/gtest.h>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <fstream>
#include <csignal>
#include <filesystem>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include "files/files.h"
#include "tests/unit/headless.h"

static const std::string DEFAULT_LINE =
    "CX*S(X/Y) SX*S(Y/X) Z -62.831799 62.831799 0.500000 -62.831799 62.831799 0.500000 "
    "0.000000 0.000000 1.000000 0 0 0 0 0 255 0 255 255 255 255 255 0 100";

static std::string slurp(const char *path)
{
    return { std::istreambuf_iterator<char>(std::ifstream(path).rdbuf()), {} };
}

static void put(const std::string &path, const std::string &content) { std::ofstream(path) << content; }

// Every saved setting, bit for bit, as one comparable text.
static std::string settings()
{
    return std::string(fig.aXForm) + "|" + fig.aYForm + "|" + fig.aZForm + "|" + std::string((char *)fig.Range, 36) +
           std::string((char *)fig.Color, 48) + std::to_string(fig.style) + "|" + std::to_string(fig.ColorPow);
}

static void scrambleSettings()
{
    strcpy(fig.aXForm, "Q"), strcpy(fig.aYForm, "Q"), strcpy(fig.aZForm, "Q");
    std::fill(fig.Range, fig.Range + 9, 7.0f), std::fill(fig.Color, fig.Color + 12, 9);
    fig.style = 1, fig.ColorPow = 3, fig.myXForm.tokens[0] = 55;
}

struct FilesTest : ::testing::Test {
    char dir[32] = "/tmp/files_testXXXXXX", home[4096];
    void SetUp() override
    {
        headlessSetup();
        ASSERT_TRUE(getcwd(home, sizeof home));
        ASSERT_TRUE(mkdtemp(dir));
        ASSERT_EQ(chdir(dir), 0);
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(home), 0);
        ASSERT_EQ(system(("rm -rf " + std::string(dir)).c_str()), 0);
    }
};

TEST_F(FilesTest, DefaultFigureIsThe150ByteLine)
{
    std::string startUp = settings();
    put("d.fig", std::string(400, '9'));
    ASSERT_TRUE(writeFIG("d.fig", fig));
    EXPECT_EQ(slurp("d.fig"), DEFAULT_LINE);        // the new record only, no old tail
    scrambleSettings();
    ASSERT_TRUE(readFIG("d.fig", fig));
    EXPECT_EQ(settings(), startUp);
    EXPECT_EQ(fig.myXForm.tokens[0], TOK_COS);          // recompiled
}

// Six decimals where they read back as the same float, else the shortest text
// that does; bit for bit back (the fuzz target checks the other settings).
TEST_F(FilesTest, RealsAreExact)
{
    const struct { float value; const char *text; } rows[] = {
        { 9.27f, "9.270000" }, { std::nextafter(9.27f, 0.0f), "9.2699995" }, { 3e-7f, "3e-07" }, { -0.0f, "-0.000000" },
        { NAN, "nan" }, { -NAN, "-nan" }, { INFINITY, "inf" }, { -INFINITY, "-inf" }, { FLT_TRUE_MIN, "1e-45" },
        { FLT_MAX, "340282346638528859811704183484516925440.000000" } };
    for (auto &row : rows) {
        fig.Range[8] = row.value;
        ASSERT_TRUE(writeFIG("r.fig", fig));
        std::string line = DEFAULT_LINE;
        EXPECT_EQ(slurp("r.fig"), line.replace(line.find("1.000000"), 8, row.text));
        fig.Range[8] = 7;
        ASSERT_TRUE(readFIG("r.fig", fig));
        EXPECT_EQ(std::bit_cast<uint32_t>(fig.Range[8]), std::bit_cast<uint32_t>(row.value)) << row.text;
    }
}

// Fields are applied up to the first one that does not convert.
TEST_F(FilesTest, BadFiles)
{
    put("short.fig", "X Y Z 1 2 3 4 5 6 7 8 9.5");
    scrambleSettings();
    ASSERT_TRUE(readFIG("short.fig", fig));
    EXPECT_EQ(fig.Range[8], 9.5f);
    EXPECT_EQ(fig.Color[0], 9);
    EXPECT_EQ(fig.myXForm.tokens[0], TOK_X);
    put("drift.fig", "X Y  1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23");  // old, empty Z
    scrambleSettings();
    ASSERT_TRUE(readFIG("drift.fig", fig));
    EXPECT_STREQ(fig.aZForm, "1");
    EXPECT_EQ(fig.style, 23);
    EXPECT_EQ(fig.ColorPow, 3);
    put("long.fig", std::string(150, 'X') + " " + std::string(99, 'Y') + " Z 1.25");
    ASSERT_TRUE(readFIG("long.fig", fig));
    EXPECT_EQ(std::string(fig.aXForm) + fig.aYForm + fig.aZForm, std::string(99, 'X') + std::string(99, 'Y') + "Z");
    EXPECT_EQ(fig.Range[0], 1.25f);
}

static long filesHere() { return std::distance(std::filesystem::directory_iterator("."), {}); }

// A write cut off part-way (a file-size limit in a child) leaves the old figure and no other file.
TEST_F(FilesTest, WriteCutOffPartWayKeepsTheOldFigure)
{
    put("o.fig", DEFAULT_LINE);
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit = { 100, 100 };
        _exit(setrlimit(RLIMIT_FSIZE, &limit) == 0 && !writeFIG("o.fig", fig) && !writeFIG("n.fig", fig) ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(slurp("o.fig"), DEFAULT_LINE);
    EXPECT_EQ(filesHere(), 1);
}

// Each refusal says why, changes nothing and leaves no file.
TEST_F(FilesTest, Refusals)
{
    ASSERT_EQ(mkfifo("fifo.fig", 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", "zero.fig"), 0);
    ASSERT_EQ(mkdir("dir.fig", 0755), 0);
    put("plain", "x");
    put("big.fig", "");
    ASSERT_EQ(truncate("big.fig", 50 << 20), 0);
    put("over.fig", std::string(FIGURE_FILE_LIMIT + 1, ' '));
    const char *notRegular = "not a regular file", *tooLarge = "too large to be a figure", *none = "no such file or folder";
    auto readFIG = [](const char *path, const char **reason) { return ::readFIG(path, fig, reason); };
    auto writeFIG = [](const char *path, const char **reason) { return ::writeFIG(path, fig, reason); };
    const struct { bool (*operation)(const char *, const char **); const char *path, *reason; } rows[] = {
        { readFIG, "fifo.fig", notRegular }, { readFIG, "zero.fig", notRegular }, { readFIG, "dir.fig", "it is a folder" },
        { readFIG, "big.fig", tooLarge }, { readFIG, "over.fig", tooLarge }, { readFIG, "missing.fig", none },
        { writeFIG, "/dev/full", notRegular }, { writeFIG, "dir.fig", "it is a folder" }, { writeFIG, "missing/a.fig", none },
        { writeFIG, "plain/a.fig", "part of the path is not a folder" } };
    scrambleSettings();
    const std::string scrambled = settings() + std::to_string(fig.myXForm.tokens[0]);
    for (auto &row : rows) {
        const char *reason = "";
        EXPECT_FALSE(row.operation(row.path, &reason)) << row.path;     // a pipe waited on would hang here
        EXPECT_STREQ(reason, row.reason);
        EXPECT_EQ(settings() + std::to_string(fig.myXForm.tokens[0]), scrambled) << row.path;   // not even recompiled
    }
    EXPECT_EQ(filesHere(), 6);
    put("limit.fig", DEFAULT_LINE + std::string(FIGURE_FILE_LIMIT - DEFAULT_LINE.size(), '\n'));
    EXPECT_TRUE(::readFIG("limit.fig", fig));
}

TEST_F(FilesTest, GalleryListIsSortedAndKeepsWholeNames)
{
    ASSERT_EQ(mkdir("gallery", 0755), 0);
    ASSERT_EQ(mkdir("gallery/dir.fig", 0755), 0);
    std::string longName = std::string(99, 'n') + ".fig";
    for (std::string name : { "b.fig", longName.c_str(), "a.fig", "c.fig.bak", ".hidden.fig" })
        put("gallery/" + name, "X");
    ASSERT_EQ(listGallery(), 3);
    EXPECT_EQ(std::string(galleryEntry(0)) + galleryEntry(1) + galleryEntry(2), "a.figb.fig" + longName);
    for (int i = 519; i >= 0; i--)
        put("gallery/m" + std::to_string(1000 + i) + ".fig", "X");
    ASSERT_EQ(listGallery(), GALLERY_ENTRIES);          // the 512 names that sort first
    EXPECT_STREQ(galleryEntry(511), "m1509.fig");
}
