// Counting matches and dry runs of a replacement, as pellumar prints them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "PellumarProcess.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using namespace test;
namespace fs = std::filesystem;

// The lines of an output, in name order: the walk follows the folders' own order.
Lines Sorted(const std::string& out, char end = '\n') {
    Lines lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line, end);) {
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Every entry below a folder, links not followed: bytes or link text, inode, mode and times.
std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st;
        EXPECT_EQ(::lstat(entry.path().c_str(), &st), 0);
        std::ostringstream what;
        what << st.st_ino << ' ' << st.st_mode << ' ' << st.st_mtim.tv_sec << '.'
             << st.st_mtim.tv_nsec << ' ' << st.st_ctim.tv_sec << '.' << st.st_ctim.tv_nsec;
        if (entry.is_symlink()) {
            what << " -> " << fs::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            std::ifstream file(entry.path(), std::ios::binary);
            what << ' ' << file.rdbuf();
        }
        entries[entry.path().string()] = what.str();
    }
    return entries;
}

struct CountCase {
    TempTree tree;
    CountCase() {
        tree.Write("a.txt", "aaaaa and AAA");
        tree.Write("sub/b.txt", "one aa\n", 0444);
        tree.Write("none.txt", "a");
        tree.Write("odd\xff.txt", "aa");
    }
};

TEST(CliCountTest, CountsFollowEachPathAsGrepWritesThem) {
    CountCase c;
    const Result counted = Pellumar({"--folder", c.tree.Root(), "--search", "aa", "--count"});
    EXPECT_EQ(counted.status, 0);
    // Leftmost and non-overlapping: "aaaaa" holds two, "AAA" one, ignoring case.
    EXPECT_EQ(Sorted(counted.out), (Lines{c.tree.Path("a.txt") + ":3", c.tree.Path("odd\xff.txt:1"),
                                          c.tree.Path("sub/b.txt") + ":1"}));

    const Result nulls = Pellumar(
        {"--folder", c.tree.Root(), "--search", "AA", "--match-case", "--count", "--null"});
    EXPECT_EQ(nulls.out, c.tree.Path("a.txt") + std::string("\0", 1) + "1\n");

    const Result none = Pellumar({"--folder", c.tree.Root(), "--search", "zz", "--count"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");

    const Result refused = Pellumar({"--folder", c.tree.Root(), "--count"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "pellumar: --count needs --search TEXT\n");

    // A file whose size the system does not tell is read to its end, as a search reads it.
    if (fs::exists("/proc/sys/kernel/ostype")) {
        const Result proc = Pellumar({"--folder", "/proc/sys/kernel", "--no-subfolders", "--filter",
                                      "ostype", "--search", "linux", "--count"});
        EXPECT_EQ(proc.out, "/proc/sys/kernel/ostype:1\n");
    }

    // A replacement counts the matches it replaced.
    const Result replaced = Pellumar({"--folder", c.tree.Root(), "--search", "aa", "--replace", "b",
                                      "--count", "--yes", "--no-undo"});
    EXPECT_EQ(Sorted(replaced.out), Sorted(counted.out));
    EXPECT_EQ(c.tree.Read("a.txt"), "bba and bA");
}

// A dry run asks nothing and needs no --yes; it lists what a replacement would change, with
// the counts, and changes nothing: no byte, no time, no undo store.
TEST(CliCountTest, ADryRunListsWhatWouldChangeAndLeavesEveryByteAndTime) {
    CountCase c;
    c.tree.Write("same.txt", "XX and XX");  // its matches read as their replacement already
    fs::create_symlink("a.txt", c.tree.Path("link.txt"));
    fs::create_symlink("../a.txt", c.tree.Path("sub/up.txt"));  // from another folder
    fs::create_hard_link(c.tree.Path("odd\xff.txt"), c.tree.Path("sub/hard.txt"));
    TempTree state;
    const std::map<std::string, std::string> before = Snapshot(c.tree.Root());
    const char* saved = ::getenv("XDG_STATE_HOME");
    const std::string previous = saved != nullptr ? saved : "";
    ::setenv("XDG_STATE_HOME", state.Root().c_str(), 1);
    const Result dry =
        Pellumar({"--folder", c.tree.Root(), "--search", "aa", "--replace", "xx", "--dry-run"});
    const Result same = Pellumar(
        {"--folder", c.tree.Path("sub"), "--search", "aa", "--replace", "aA", "--dry-run"});
    const Result unchanged = Pellumar({"--folder", c.tree.Root(), "--filter", "same.txt",
                                       "--search", "xx", "--replace", "XX", "--dry-run"});
    saved != nullptr ? ::setenv("XDG_STATE_HOME", previous.c_str(), 1)
                     : ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(dry.status, 0);
    EXPECT_EQ(dry.err, "");
    // Both links lead to a.txt, which a replacement changes once, under whichever name it
    // reaches first; each name of the hard-linked file is rewritten, each from the old content.
    Lines listed = Sorted(dry.out);
    ASSERT_EQ(listed.size(), 4u) << dry.out;
    const auto aNames = std::remove_if(listed.begin(), listed.end(), [&](const std::string& line) {
        return line == c.tree.Path("a.txt") + ":3" || line == c.tree.Path("link.txt") + ":3" ||
               line == c.tree.Path("sub/up.txt") + ":3";
    });
    EXPECT_EQ(listed.end() - aNames, 1) << dry.out;
    listed.erase(aNames, listed.end());
    EXPECT_EQ(listed, (Lines{c.tree.Path("odd\xff.txt:1"), c.tree.Path("sub/b.txt") + ":1",
                             c.tree.Path("sub/hard.txt") + ":1"}));
    EXPECT_EQ(Sorted(same.out),
              (Lines{c.tree.Path("sub/b.txt") + ":1", c.tree.Path("sub/hard.txt") + ":1",
                     c.tree.Path("sub/up.txt") + ":3"}));
    EXPECT_EQ(unchanged.status, 1);
    EXPECT_EQ(unchanged.out, "");
    EXPECT_EQ(Snapshot(c.tree.Root()), before);
    EXPECT_TRUE(fs::is_empty(state.Root()));
    for (const char* more : {"--match-case", "--search-only"}) {
        const Result noReplace = Pellumar(
            {"--folder", c.tree.Root(), "--search", "aa", "--dry-run", "--replace", "x", more});
        const bool refused = std::string(more) == "--search-only";
        EXPECT_EQ(noReplace.status, refused ? 2 : 0);
        EXPECT_EQ(noReplace.err, refused ? "pellumar: --dry-run needs --replace TEXT\n" : "");
    }
    const Result noReplace = Pellumar({"--folder", c.tree.Root(), "--search", "aa", "--dry-run"});
    EXPECT_EQ(noReplace.status, 2);
    EXPECT_EQ(noReplace.err, "pellumar: --dry-run needs --replace TEXT\n");
    // The replacement itself lists the very names the dry run listed, with the same counts.
    const Result real = Pellumar({"--folder", c.tree.Root(), "--search", "aa", "--replace", "xx",
                                  "--count", "--yes", "--no-undo"});
    EXPECT_EQ(Sorted(real.out), Sorted(dry.out));
}

}  // namespace
}  // namespace pellumar
