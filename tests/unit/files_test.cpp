// Figure files and the gallery list.
#include <gtest/gtest.h>
#include <climits>
#include <cstring>
#include <fstream>
#include <unistd.h>
#include <sys/stat.h>
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
    return std::string(aXForm) + "|" + aYForm + "|" + aZForm + "|" + std::string((char *)Range, 36) +
           std::string((char *)Color, 48) + std::to_string(style) + "|" + std::to_string(ColorPow);
}

static void scrambleSettings()
{
    strcpy(aXForm, "Q"), strcpy(aYForm, "Q"), strcpy(aZForm, "Q");
    std::fill(Range, Range + 9, 7.0f), std::fill(Color, Color + 12, 9);
    style = 1, ColorPow = 3, myXForm.tokens[0] = 55;
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
    ASSERT_TRUE(writeFIG("d.fig"));
    EXPECT_EQ(slurp("d.fig"), DEFAULT_LINE);
    scrambleSettings();
    ASSERT_TRUE(readFIG("d.fig"));
    EXPECT_EQ(settings(), startUp);
    EXPECT_EQ(myXForm.tokens[0], TOK_COS);          // recompiled
}

// Whitespace in a text is written as "_", as is an empty text; reals keep six decimals.
TEST_F(FilesTest, OddSettingsReadBackAsWritten)
{
    strcpy(aXForm, "2 -X\tY"), strcpy(aZForm, "");
    Range[0] = 0.0000004f, Range[1] = 1e20f, Range[2] = -2.5e-6f, Color[3] = -7, style = 200, ColorPow = INT_MIN;
    ASSERT_TRUE(writeFIG("r.fig"));
    strcpy(aXForm, "2_-X_Y"), strcpy(aZForm, "_");
    Range[0] = 0, Range[2] = -0.000002f;            // -2.5e-6 is a little under, in single precision
    std::string expected = settings();
    scrambleSettings();
    ASSERT_TRUE(readFIG("r.fig"));
    EXPECT_EQ(settings(), expected) << slurp("r.fig");
}

// Fields are applied up to the first one that does not convert.
TEST_F(FilesTest, BadFiles)
{
    put("short.fig", "X Y Z 1 2 3 4 5 6 7 8 9.5");
    scrambleSettings();
    ASSERT_TRUE(readFIG("short.fig"));
    EXPECT_EQ(Range[8], 9.5f);
    EXPECT_EQ(Color[0], 9);
    EXPECT_EQ(myXForm.tokens[0], TOK_X);
    put("drift.fig", "X Y  1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23");  // old, empty Z
    scrambleSettings();
    ASSERT_TRUE(readFIG("drift.fig"));
    EXPECT_STREQ(aZForm, "1");
    EXPECT_EQ(style, 23);
    EXPECT_EQ(ColorPow, 3);
    put("long.fig", std::string(150, 'X') + " " + std::string(99, 'Y') + " Z 1.25");
    ASSERT_TRUE(readFIG("long.fig"));
    EXPECT_EQ(std::string(aXForm) + aYForm + aZForm, std::string(99, 'X') + std::string(99, 'Y') + "Z");
    EXPECT_EQ(Range[0], 1.25f);
    myXForm.tokens[0] = 55;
    EXPECT_FALSE(readFIG("missing.fig"));
    EXPECT_EQ(myXForm.tokens[0], 55);
}

TEST_F(FilesTest, FailedWrites)
{
    put("plain", "x");
    for (const char *path : { "/dev/full", "plain/a.fig", "missing/a.fig" })
        EXPECT_FALSE(writeFIG(path)) << path;
    put("o.fig", std::string(400, '9'));
    ASSERT_TRUE(writeFIG("o.fig"));
    EXPECT_EQ(slurp("o.fig"), DEFAULT_LINE);        // the new record only, no old tail
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
