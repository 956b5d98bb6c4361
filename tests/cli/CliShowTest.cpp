// What pellumar shows of the files it finds and changes: matching lines byte for byte as grep
// writes them, colours included, and diffs that are the same before and while the files change.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "CliShow.h"
#include "PellumarProcess.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using namespace test;

// What a command writes on its standard output.
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            out.append(buffer, got);
        }
        ::pclose(pipe);
    }
    return out;
}

class CliShowTest : public ::testing::Test {
  protected:
    CliShowTest() {
        tree.Write("a.txt", "foo bar foo\nnone\nxfoo\n");
        tree.Write("sub/crlf.txt", "line1\r\nfoo\r\n");
        tree.Write("sub/sp ace.txt", "no newline foo");
        tree.Write("odd\xff\".txt", "foo\n");
        tree.Write("b.bin", std::string("a\0foo\n", 6));
        tree.Write("none.txt", "nothing\n");
    }
    Result Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--folder", tree.Root(), "--search", "foo", "--match-case"});
        return Pellumar(args);
    }
    TempTree tree;
};

TEST_F(CliShowTest, EachMatchingLineIsWrittenAsGrepWritesIt) {
    const Result lines = Run({"--lines"});
    EXPECT_EQ(lines.status, 0);
    const std::string grep =
        "LC_ALL=C grep -rHn --color=never foo '" + tree.Root() + "' 2>/dev/null";
    EXPECT_EQ(Sorted(lines.out), Sorted(Output(grep)));
    EXPECT_EQ(lines.err, "pellumar: " + tree.Path("b.bin") + ": binary file matches\n");
    // With nulls the name ends with one; coloured, each part as grep colours it.
    EXPECT_EQ(Run({"--lines", "--null", "--filter", "a.txt"}).out,
              tree.Path("a.txt") + std::string(1, '\0') + "1:foo bar foo\n" + tree.Path("a.txt") +
                  std::string(1, '\0') + "3:xfoo\n");
    for (const char* name : {"a.txt", "sub/sp ace.txt"}) {
        const std::string path = tree.Path(name);
        EXPECT_EQ(Run({"--lines", "--color=always", "--filter", name}).out,
                  Output("grep -Hn --color=always foo '" + path + "'"));
    }
    EXPECT_EQ(Run({"--lines", "--color", "--filter", "a.txt"}).out.find('\33'), std::string::npos);
    // A file whose only match is empty and on no line shows nothing, and is not counted.
    tree.Write("empty", "");
    const Result none = Pellumar(
        {"--folder", tree.Root(), "--filter", "empty", "--regex", "--search", "x*", "--lines"});
    EXPECT_EQ(std::tuple(none.status, none.out, none.err),
              std::tuple(1, std::string(), std::string()));
}

TEST_F(CliShowTest, ADiffShowsEveryChangeAndIsTheSameBeforeAndWhileItIsMade) {
    // A link is rewritten where it leads, and the diff names that file, which patch changes.
    std::filesystem::create_symlink("sub/crlf.txt", tree.Path("link.txt"));
    const std::vector<std::string> replace = {"--replace", "F\nO", "--diff", "--filter", "*.*"};
    std::vector<std::string> dry = replace;
    dry.push_back("--dry-run");
    const Result before = Run(dry);
    EXPECT_EQ(before.status, 0);
    EXPECT_EQ(tree.Read("a.txt"), "foo bar foo\nnone\nxfoo\n");
    const std::string expected[] = {
        "--- a/a.txt\n+++ b/a.txt\n@@ -1,3 +1,6 @@\n-foo bar foo\n+F\n+O bar F\n+O\n none\n"
        "-xfoo\n+xF\n+O\n",
        "--- a/sub/crlf.txt\n+++ b/sub/crlf.txt\n@@ -1,2 +1,3 @@\n line1\r\n-foo\r\n+F\n+O\r\n",
        "--- a/sub/sp ace.txt\t\n+++ b/sub/sp ace.txt\t\n@@ -1 +1,2 @@\n-no newline foo\n"
        "\\ No newline at end of file\n+no newline F\n+O\n\\ No newline at end of file\n",
        "--- \"a/odd\\377\\\".txt\"\n+++ \"b/odd\\377\\\".txt\"\n@@ -1 +1,2 @@\n-foo\n+F\n+O\n",
        "Binary files a/b.bin and b/b.bin differ\n",
    };
    size_t length = 0;
    for (const std::string& part : expected) {
        EXPECT_NE(before.out.find(part), std::string::npos) << part << "\nin\n" << before.out;
        length += part.size();
    }
    EXPECT_EQ(before.out.size(), length);
    std::vector<std::string> real = replace;
    real.insert(real.end(), {"--yes", "--no-undo"});
    const Result made = Run(real);
    EXPECT_EQ(made.out, before.out);
    EXPECT_EQ(tree.Read("a.txt"), "F\nO bar F\nO\nnone\nxF\nO\n");
    // Coloured: the names, the hunk's numbers and separators, and what is taken and written.
    const auto paint = [](const char* color, const std::string& text) {
        return "\33[" + std::string(color) + "m\33[K" + text + "\33[m\33[K";
    };
    const Result colored =
        Pellumar({"--folder", tree.Root(), "--filter", "a.txt", "--search", "bar", "--replace",
                  "baz", "--diff", "--dry-run", "--color=always"});
    EXPECT_EQ(colored.out, "--- " + paint("35", "a/a.txt") + "\n+++ " + paint("35", "b/a.txt") +
                               "\n" + paint("36", "@@ -") + paint("32", "1,5") + paint("36", " +") +
                               paint("32", "1,5") + paint("36", " @@") + "\n F\n-O " +
                               paint("01;31", "bar") + " F\n+O " + paint("01;31", "baz") +
                               " F\n O\n none\n xF\n");
}

TEST(CliShowOptionsTest, WhatCannotGoTogetherIsRefusedAndColourFollowsTheTerminal) {
    TempTree tree;
    const std::string root = tree.Root();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--folder", root, "--lines"}, "--lines needs --search TEXT"},
        {{"--folder", root, "--search", "x", "--replace", "y", "--lines"},
         "--lines goes with a search; --diff shows what a replacement changes"},
        {{"--folder", root, "--search", "x", "--diff"}, "--diff needs --replace TEXT"},
        {{"--folder", root, "--search", "x", "--lines", "--count"},
         "--lines and --count exclude each other"},
        {{"--folder", root, "--search", "x", "--replace", "y", "--diff", "--null"},
         "--diff and --null exclude each other"},
        {{"--folder", root, "--search", "x", "--color=sometimes"},
         "--color takes auto, always or never, not 'sometimes'"},
        {{"--history", "--color=always"}, "--color goes with a search, not with --history"},
    };
    for (const auto& [args, message] : cases) {
        const Result result = Pellumar(args);
        EXPECT_EQ(result.status, 2) << message;
        EXPECT_EQ(result.err.substr(0, result.err.find('\n') + 1), "pellumar: " + message + "\n");
    }
    using cli::ColorWhen;
    using cli::UseColor;
    EXPECT_TRUE(UseColor(ColorWhen::Auto, true, "xterm", nullptr));
    EXPECT_TRUE(UseColor(ColorWhen::Auto, true, "xterm", ""));
    EXPECT_FALSE(UseColor(ColorWhen::Auto, true, "xterm", "1"));
    EXPECT_FALSE(UseColor(ColorWhen::Auto, true, "dumb", nullptr));
    EXPECT_FALSE(UseColor(ColorWhen::Auto, true, nullptr, nullptr));
    EXPECT_FALSE(UseColor(ColorWhen::Auto, false, "xterm", nullptr));
    EXPECT_TRUE(UseColor(ColorWhen::Always, false, "dumb", "1"));
    EXPECT_FALSE(UseColor(ColorWhen::Never, true, "xterm", nullptr));
}

}  // namespace
}  // namespace pellumar
