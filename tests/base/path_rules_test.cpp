#include "base/path_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace ziv {
namespace {

TEST(PathRules, SplitAndJoinOnTheLastSlashOnly) {
    struct {
        const char* path;
        const char* name;
        const char* directory;
        const char* extension;
    } const cases[] = {
        {"/home/ly2xx/cq.wav", "cq.wav", "/home/ly2xx/", ".wav"},
        {"cq.wav", "cq.wav", "", ".wav"},
        {"/a.b/cq", "cq", "/a.b/", ""},  // a dot in a folder is no extension
        {"/a/cq.tar.wav", "cq.tar.wav", "/a/", ".wav"},
        {"/a/.wav", ".wav", "/a/", ".wav"},
        {"/a/", "", "/a/", ""},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileNamePart(c.path), c.name);
        EXPECT_EQ(DirectoryPart(c.path), c.directory);
        EXPECT_EQ(ExtensionOf(c.path), c.extension);
    }
    EXPECT_EQ(JoinPath("/a", "b.wav"), "/a/b.wav");
    EXPECT_EQ(JoinPath("/a/", "b.wav"), "/a/b.wav");
    EXPECT_EQ(JoinPath("/", "b.wav"), "/b.wav");
    EXPECT_EQ(NormalizeDirectory("/a/b//"), "/a/b");
    EXPECT_EQ(NormalizeDirectory("///"), "/");
}

}  // namespace
}  // namespace ziv
