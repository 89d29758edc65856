// Choosing the folder of the figures and screenshots, and its first start.
#include <gtest/gtest.h>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include "app/datafolder.h"

typedef std::set<std::string> names;

struct DataFolderTest : ::testing::Test {
    std::string root = "/tmp/datafolder_testXXXXXX", error;
    void SetUp() override
    {
        ASSERT_TRUE(mkdtemp(root.data()));
        for (const char *folder : { "/work", "/worked", "/worked/gallery", "/starter", "/starter/sub.fig" })
            mkdir((root + folder).c_str(), 0755);
        for (const char *file : { "/starter/a.fig", "/starter/b.fig", "/starter/.c.fig", "/starter/d.txt", "/plain" })
            std::ofstream(root + file) << file;
    }
    void TearDown() override { ASSERT_EQ(system(("rm -rf " + root).c_str()), 0); }

    // Absolute paths of the arguments lie under root; the folder comes back without it.
    std::string prepare(const char *working, const char *xdg, const char *home)
    {
        std::string x = xdg && xdg[0] == '/' ? root + xdg : xdg ? xdg : "";
        std::string h = home && home[0] == '/' ? root + home : home ? home : "";
        std::string folder = prepareDataFolder(root + working, xdg ? x.c_str() : nullptr,
                                               home ? h.c_str() : nullptr, root + "/starter", &error);
        return folder.empty() ? "" : folder.substr(root.size());
    }
    names list(const std::string &folder)
    {
        names found;
        DIR *d = opendir((root + folder).c_str());
        while (const dirent *e = d ? readdir(d) : nullptr)
            found.insert(e->d_name);
        if (d)
            closedir(d);
        return found;
    }
};

TEST_F(DataFolderTest, Choice)
{
    const struct { const char *working, *xdg, *home, *folder; } rows[] = {
        { "/worked", "/x", "/h", "/worked" },                   // the working folder has a gallery
        { "/work", "/x", "/h", "/x/latticegraph" },
        { "/work", "", "/h", "/h/.local/share/latticegraph" },
        { "/work", "x", "/h", "/h/.local/share/latticegraph" }, // a relative XDG_DATA_HOME is ignored
        { "/work", nullptr, "/g", "/g/.local/share/latticegraph" },
    };
    for (auto &r : rows)
        EXPECT_EQ(prepare(r.working, r.xdg, r.home), r.folder) << r.working << " " << r.xdg;
    for (const char *made : { "/x/latticegraph", "/h/.local/share/latticegraph", "/g/.local/share/latticegraph" })
        EXPECT_EQ(list(std::string(made) + "/gallery"), (names{ ".", "..", "a.fig", "b.fig" })) << made;
    EXPECT_EQ(list("/x/latticegraph"), (names{ ".", "..", "gallery" }));      // no scratch folder left
    std::ifstream copy(root + "/x/latticegraph/gallery/a.fig");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), "/starter/a.fig");
}

TEST_F(DataFolderTest, LaterStartsKeepTheUsersGallery)
{
    prepare("/work", "/x", nullptr);
    remove((root + "/x/latticegraph/gallery/a.fig").c_str());
    EXPECT_EQ(prepare("/work", "/x", nullptr), "/x/latticegraph");
    EXPECT_EQ(list("/x/latticegraph/gallery"), (names{ ".", "..", "b.fig" }));
}

TEST_F(DataFolderTest, Failures)
{
    const struct { const char *xdg, *home, *errorStart; } rows[] = {
        { nullptr, nullptr, "no home folder" }, { "", "h", "no home folder" },
        { "/plain/x", "/h", "cannot make the folder" },      // a file where a folder must be
    };
    for (auto &r : rows) {
        EXPECT_EQ(prepare("/work", r.xdg, r.home), "") << r.errorStart;
        EXPECT_EQ(error.rfind(r.errorStart, 0), 0u) << error;
    }
}

// What --help says, with nothing made on the way.
TEST_F(DataFolderTest, DescriptionNamesTheFolderInUse)
{
    char home[4096];
    ASSERT_TRUE(getcwd(home, sizeof home));
    setenv("XDG_DATA_HOME", (root + "/x").c_str(), 1);
    const struct { const char *working, *named; } rows[] = { { "/worked", "/worked," }, { "/work", "/x/latticegraph," } };
    for (auto &r : rows) {
        ASSERT_EQ(chdir((root + r.working).c_str()), 0);
        EXPECT_NE(dataFolderDescription().find(root + r.named), std::string::npos) << dataFolderDescription();
    }
    ASSERT_EQ(chdir(home), 0);
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(list("/x"), names());
}
