// Figure files, the gallery list and browsers, and screenshots.
#include <gtest/gtest.h>
#include <clocale>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <sys/stat.h>
#include "files/files.h"
#include "tests/unit/headless.h"

static const std::string DEFAULT_LINE =
    "CX*S(X/Y) SX*S(Y/X) Z -62.831799 62.831799 0.500000 -62.831799 62.831799 0.500000 "
    "0.000000 0.000000 1.000000 0 0 0 0 0 255 0 255 255 255 255 255 0 100";

static std::string slurp(const char *path)
{
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

static void put(const std::string &path, const std::string &content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// Every saved setting, bit for bit, as one comparable text.
static std::string settings()
{
    return std::string(aXForm) + "|" + aYForm + "|" + aZForm + "|" + std::string((char *)Range, 36) +
           std::string((char *)Color, 48) + std::to_string(style) + "|" + std::to_string(ColorPow);
}

static bool sameRecord(const myFormula &a, const myFormula &b)
{
    for (int i = 0, t = 0; t != TOK_END; i++) {
        t = a.tokens[i];
        if (t != b.tokens[i] || (t >= 0 && memcmp(&a.constants[t], &b.constants[t], 4)))
            return false;
    }
    return true;
}

static void scrambleSettings()
{
    strcpy(aXForm, "Q"); strcpy(aYForm, "Q"); strcpy(aZForm, "Q");
    for (float &r : Range) r = 7;
    for (int &c : Color) c = 9;
    style = 1; ColorPow = 3; myXForm.tokens[0] = 55;
}

class FilesTest : public ::testing::Test {
protected:
    char dir[32] = "/tmp/files_testXXXXXX", home[4096];
    void SetUp() override { headlessSetup(); ASSERT_TRUE(getcwd(home, 4096) && mkdtemp(dir) && !chdir(dir)); }
    void TearDown() override { releaseInput(); ASSERT_TRUE(!chdir(home) && !system(("rm -rf " + std::string(dir)).c_str())); }
};

TEST_F(FilesTest, DefaultFigureIsTheExact150ByteLineAndAnyWhitespaceReadsBack)
{
    std::string startUp = settings();
    ASSERT_TRUE(writeFIG("d.fig"));
    EXPECT_EQ(slurp("d.fig"), DEFAULT_LINE);
    std::string spread = DEFAULT_LINE;
    for (size_t at = 0; (at = spread.find(' ', at)) != std::string::npos; at += 3)
        spread.replace(at, 1, "\n\t ");
    put("spread.fig", spread + "\n");
    for (const char *path : { "d.fig", "spread.fig" }) {
        scrambleSettings();
        ASSERT_TRUE(readFIG(path));
        EXPECT_EQ(settings(), startUp) << path;
        EXPECT_TRUE(sameRecord(myXForm, toFormula("CX*S(X/Y)")));
    }
}

// Whitespace in a text is written as "_" and an empty text as "_": both
// compile as before. Reals come back as their six-decimal value.
TEST_F(FilesTest, RandomFiguresRestoreEveryFieldAndCompileToTheSameRecords)
{
    static const char alphabet[] = "SCTXYZPGR()*/+-^0123456789.  \t";
    std::mt19937 gen(1234);
    for (int round = 0; round < 300; round++) {
        for (char *t : { aXForm, aYForm, aZForm }) {
            int n = gen() % 100;
            for (int i = 0; i < n; i++) t[i] = alphabet[gen() % (sizeof alphabet - 1)];
            t[n] = 0;
        }
        for (float &r : Range) r = std::ldexp((float)(gen() % 2000000) / 1e6f - 1, (int)(gen() % 40) - 20);
        for (int &c : Color) c = (int)gen();
        style = gen() % 256;
        ColorPow = (int)gen();
        srand(round);
        compileFormulas();
        myFormula x = myXForm, y = myYForm, z = myZForm;
        ASSERT_TRUE(writeFIG("r.fig"));
        for (char *t : { aXForm, aYForm, aZForm }) {
            for (char *c = t; *c; c++) if (*c == ' ' || *c == '\t') *c = '_';
            if (!*t) strcpy(t, "_");
        }
        for (float &r : Range) {
            char six[64];
            snprintf(six, sizeof six, "%f", (double)r);
            r = strtof(six, nullptr);
        }
        std::string expected = settings();
        scrambleSettings();
        srand(round);                       // the same random constants again
        ASSERT_TRUE(readFIG("r.fig"));
        ASSERT_EQ(settings(), expected) << slurp("r.fig");
        EXPECT_TRUE(sameRecord(x, myXForm) && sameRecord(y, myYForm) && sameRecord(z, myZForm));
    }
}

TEST_F(FilesTest, ShortDriftingAndOverlongFilesApplyTheFieldsUpToTheFirstFailure)
{
    put("short.fig", "X Y Z 1 2 3 4 5 6 7 8 9.5");
    scrambleSettings();
    ASSERT_TRUE(readFIG("short.fig"));
    EXPECT_TRUE(Range[8] == 9.5f && Color[0] == 9 && style == 1 && ColorPow == 3);
    EXPECT_EQ(myXForm.tokens[0], TOK_X);
    // an empty Z text written by earlier versions: every later field drifts by one
    put("old.fig", "CX*S(X/Y) SX*S(Y/X)  -62.831799 62.831799 0.500000 -62.831799 62.831799 "
                   "0.500000 0.000000 0.000000 1.000000 4 0 0 0 0 255 0 255 255 255 255 255 1 100");
    ASSERT_TRUE(readFIG("old.fig"));
    EXPECT_STREQ(aZForm, "-62.831799");
    EXPECT_TRUE(Range[8] == 4.0f && Color[11] == 1 && style == 100 && ColorPow == 3);
    // a word where a number belongs ends the scan; the style keeps the low 8 bits
    put("text.fig", "A B C D 1 2");
    float xMin = Range[0];
    ASSERT_TRUE(readFIG("text.fig"));
    EXPECT_TRUE(!strcmp(aZForm, "C") && Range[0] == xMin);
    put("style.fig", "X Y Z 1 2 3 4 5 6 7 8 9 1 2 3 4 5 6 7 8 9 10 11 12 -257 5");
    ASSERT_TRUE(readFIG("style.fig"));
    EXPECT_TRUE(style == 255 && ColorPow == 5);
    put("long.fig", std::string(150, 'X') + " " + std::string(99, 'Y') + " Z 1.25");
    ASSERT_TRUE(readFIG("long.fig"));
    EXPECT_EQ(std::string(aXForm) + aYForm + aZForm, std::string(99, 'X') + std::string(99, 'Y') + "Z");
    EXPECT_EQ(Range[0], 1.25f);
}

TEST_F(FilesTest, WritesThatDoNotCompleteFailAndMissingFilesChangeNothing)
{
    put("plain", "x");
    EXPECT_FALSE(writeFIG("/dev/full") || writeFIG("plain/a.fig") || writeFIG("missing/a.fig"));
    scrambleSettings();
    EXPECT_FALSE(readFIG("missing.fig"));
    EXPECT_EQ(myXForm.tokens[0], 55);
    put("o.fig", std::string(400, '9'));
    ASSERT_TRUE(writeFIG("o.fig"));
    EXPECT_EQ(slurp("o.fig").size(), 114u);           // the new record only, no old tail
}

// The library sets the process locale from the desktop; a comma locale must
// not reach the file. None is installed, so one is built here.
TEST_F(FilesTest, DecimalPointIsADotInACommaLocale)
{
    mkdir("locales", 0755);
    if (system("localedef -i de_DE -f UTF-8 locales/de_DE.UTF-8 >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "localedef cannot build a German locale here";
    setenv("LOCPATH", (std::string(dir) + "/locales").c_str(), 1);
    ASSERT_TRUE(setlocale(LC_ALL, "de_DE.UTF-8"));
    char probe[16];
    snprintf(probe, sizeof probe, "%.1f", 0.5);
    bool written = writeFIG("d.fig");
    Range[2] = 7;
    bool read = readFIG("d.fig");
    setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    EXPECT_STREQ(probe, "0,5");
    EXPECT_TRUE(written && read && Range[2] == 0.5f);
    EXPECT_EQ(slurp("d.fig"), DEFAULT_LINE);
}

TEST_F(FilesTest, GalleryListIsSortedKeepsWholeNamesAndHoldsAtMost512)
{
    ASSERT_EQ(mkdir("gallery", 0755) | mkdir("gallery/dir.fig", 0755), 0);
    std::string longName = std::string(99, 'n') + ".fig";
    for (std::string name : { "b.fig", longName.c_str(), "a.fig", "c.fig.bak", ".hidden.fig" })
        put("gallery/" + name, "X");
    ASSERT_EQ(listGallery(), 3);
    EXPECT_EQ(std::string(galleryEntry(0)) + galleryEntry(1) + galleryEntry(2), "a.figb.fig" + longName);
    for (int i = 519; i >= 0; i--)
        put("gallery/m" + std::to_string(1000 + i) + ".fig", "X");
    ASSERT_EQ(listGallery(), GALLERY_ENTRIES);         // the 512 names that sort first
    EXPECT_EQ(std::string(galleryEntry(2)) + galleryEntry(511), "m1000.figm1509.fig");
}

// The browsers run headless with the input set before the call: a press held
// when a browser opens counts in its first frame. Enter dismisses any banner.
TEST_F(FilesTest, BrowsersLoadDeleteOnlyAfterYAndSaveOrReportTheFailedWrite)
{
    ASSERT_EQ(mkdir("gallery", 0755), 0);
    put("gallery/b.fig", "X Y Z -1 1 1 -1 1 1 0 0 1 0 0 0 0 0 255 0 255 255 255 255 255 1 42");
    ASSERT_EQ(symlink("/dev/full", "gallery/full.fig"), 0);
    key[KEY_ENTER] = 1;
    mouse_x = 10; mouse_y = 5; mouse_b = 1;            // first row: b.fig
    loadFIG();
    EXPECT_TRUE(ColorPow == 42 && style == 1 && Range[0] == -1.0f);
    ColorPow = 7;
    saveFIG();
    std::string saved = slurp("gallery/b.fig");
    EXPECT_EQ(saved.substr(saved.size() - 4), " 1 7");
    clear(screen);
    mouse_y = 20;                                      // second row: full.fig
    saveFIG();
    rgb banner = pixelAt(screen, 5, 230);
    EXPECT_TRUE(banner.r == 255 && banner.g == 128 && banner.b == 64);

    mouse_b = 0; mouse_y = 5;                          // Del, then N and Esc: kept
    key[KEY_DEL] = 1; key[KEY_N] = 1; key[KEY_ESC] = 1;
    std::thread releaser([] { usleep(50000); key[KEY_ESC] = 0; });
    loadFIG();
    releaser.join();
    EXPECT_EQ(access("gallery/b.fig", F_OK), 0);
    key[KEY_N] = 0; key[KEY_Y] = 1;
    loadFIG();
    EXPECT_EQ(access("gallery/b.fig", F_OK), -1);

    releaseInput();                                    // empty: closes with no render
    ASSERT_EQ(unlink("gallery/full.fig"), 0);
    life[0] = 12345;
    loadFIG();
    EXPECT_EQ(life[0], 12345);
}

TEST_F(FilesTest, ScreenshotsTakeTheLowestFreeNumberAndReportFailure)
{
    key[KEY_ENTER] = 1;                                // dismisses any banner
    putpixel(buffer, 300, 7, makecol(44, 20, 200));
    printscreen();
    BITMAP *shot = load_bmp("Screenshots/shot0.bmp", nullptr);
    ASSERT_TRUE(shot && slurp("Screenshots/shot0.bmp").size() == 921654u);
    EXPECT_TRUE(pixelAt(shot, 300, 7).r == 44 && pixelAt(shot, 300, 7).b == 200);
    destroy_bitmap(shot);
    put("Screenshots/shot2.bmp", "x");
    printscreen();
    EXPECT_EQ(access("Screenshots/shot1.bmp", F_OK), 0);
    ASSERT_EQ(system("rm -rf Screenshots && touch Screenshots"), 0);
    clear(screen);
    printscreen();
    EXPECT_EQ(pixelAt(screen, 5, 230).g, 128);
}
