// Choosing the folder of the figures and screenshots, and its first start.
#include <gtest/gtest.h>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include "app/datafolder.h"

struct DataFolderTest : ::testing::Test {
    std::string root;
    void SetUp() override
    {
        char name[] = "/tmp/datafolder_testXXXXXX";
        ASSERT_TRUE(mkdtemp(name));
        root = name;
        for (const char *folder : { "/work", "/worked", "/worked/gallery", "/starter", "/starter/sub.fig" })
            mkdir((root + folder).c_str(), 0755);
        for (const char *file : { "/starter/a.fig", "/starter/b.fig", "/starter/.c.fig", "/starter/d.txt", "/plain" })
            std::ofstream(root + file) << file;
    }
    void TearDown() override { ASSERT_EQ(system(("rm -rf " + root).c_str()), 0); }

    std::string prepare(const char *working, const char *xdg, const char *home, std::string *error)
    {
        auto under = [&](const char *p) { return p && p[0] == '/' ? root + p : std::string(p ? p : ""); };
        std::string x = under(xdg), h = under(home);
        std::string folder = prepareDataFolder(root + working, xdg ? x.c_str() : nullptr, home ? h.c_str() : nullptr,
                                               root + "/starter", error);
        return folder.empty() ? "" : folder.substr(root.size());
    }
    std::set<std::string> entries(const std::string &folder)
    {
        std::set<std::string> names;
        if (DIR *list = opendir((root + folder).c_str())) {
            while (const dirent *e = readdir(list))
                names.insert(e->d_name);
            closedir(list);
        }
        return names;
    }
    std::set<std::string> gallery(const std::string &folder) { return entries(folder + "/gallery"); }
};

TEST_F(DataFolderTest, Choice)
{
    const std::set<std::string> copied = { ".", "..", "a.fig", "b.fig" };
    const struct { const char *working, *xdg, *home, *folder; } rows[] = {
        { "/worked", "/x", "/h", "/worked" },                   // the working folder has a gallery
        { "/work", "/x", "/h", "/x/latticegraph" },
        { "/work", "", "/h", "/h/.local/share/latticegraph" },
        { "/work", "x", "/h", "/h/.local/share/latticegraph" }, // a relative XDG_DATA_HOME is ignored
        { "/work", nullptr, "/g", "/g/.local/share/latticegraph" },
    };
    for (auto &r : rows) {
        std::string error;
        EXPECT_EQ(prepare(r.working, r.xdg, r.home, &error), r.folder) << r.working << " " << r.xdg;
        if (std::string(r.folder) != r.working) {
            EXPECT_EQ(gallery(r.folder), copied) << r.folder;
        }
    }
    std::ifstream copy(root + "/x/latticegraph/gallery/a.fig");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), "/starter/a.fig");
    EXPECT_EQ(entries("/x/latticegraph"), (std::set<std::string>{ ".", "..", "gallery" }));   // no scratch left
}

TEST_F(DataFolderTest, LaterStartsKeepTheUsersGallery)
{
    std::string error;
    prepare("/work", "/x", nullptr, &error);
    remove((root + "/x/latticegraph/gallery/a.fig").c_str());
    EXPECT_EQ(prepare("/work", "/x", nullptr, &error), "/x/latticegraph");
    EXPECT_EQ(gallery("/x/latticegraph"), (std::set<std::string>{ ".", "..", "b.fig" }));
}

TEST_F(DataFolderTest, Failures)
{
    const struct { const char *xdg, *home, *errorStart; } rows[] = {
        { nullptr, nullptr, "no home folder" }, { "", "h", "no home folder" },
        { "/plain/x", "/h", "cannot make the folder" },      // a file where a folder must be
    };
    for (auto &r : rows) {
        std::string error;
        EXPECT_EQ(prepare("/work", r.xdg, r.home, &error), "") << r.errorStart;
        EXPECT_EQ(error.rfind(r.errorStart, 0), 0u) << error;
    }
}
