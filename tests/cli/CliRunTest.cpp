// The pellumar command run as users run it on ordinary Linux trees: what it refuses, lists and
// names, its exit status, prompts and signals. What the engine does with links, attributes and
// deep folders is tested on the engine itself.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

#include "CliOptions.h"
#include "CliProgress.h"
#include "PellumarProcess.h"
#include "TempTree.h"
#include "TextShape.h"

namespace pellumar {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Each refusal ends with 2, changes nothing and says why in one line, followed by the usage
// where the command line itself is wrong.
TEST(CliRunTest, EachRefusalIsSaidAsItIsMeantAndChangesNothing) {
    TempTree tree;
    tree.Write("a", "old");
    tree.Write("sub/b", "");
    const std::string root = tree.Root(), missing = tree.Path("missing");
    const std::string noRunZero =
        "there is no run 0: runs are numbered from 1, as --history lists them";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--folder"}, "--folder needs a value"},
        {{"--on-error", "maybe"}, "--on-error takes ask, abort or skip, not 'maybe'"},
        {{"--yes=1"}, "unknown option '--yes=1'"},
        {{"--undo", "--search", "x"}, "--search goes with a search, not with --undo"},
        {{"--replace", "y", "--undo", "3"}, "--replace goes with a search, not with --undo"},
        {{"--undo", "--dry-run", "--yes"}, "--dry-run goes with a search, not with --undo"},
        {{"--history", "--folder", "/x"}, "--folder goes with a search, not with --history"},
        {{"--history", "--match-case"}, "--match-case goes with a search, not with --history"},
        {{"--history", "--count"}, "--count goes with a search, not with --history"},
        {{"--undo", "--history"}, "--undo and --history exclude each other"},
        {{"--folder", root, "--search", "a", "--count", "--long"},
         "--count and --long exclude each other"},
        {{"--undo", "0"}, noRunZero},
        {{"--undo=000"}, noRunZero},
        {{"--undo", "x1"}, "unknown option 'x1'"},
        {{"--undo=x"}, "--undo takes the number of a run, as --history lists it, not 'x'"},
        {{"--undo=99999", "--yes"}, "no run 99999 is kept; pellumar --history lists the kept runs"},
        {{"--folder", root, "--count"}, "--count needs --search TEXT"},
        {{"--folder", root, "--search", "old", "--dry-run"}, "--dry-run needs --replace TEXT"},
        {{"--folder", root, "--search", "old", "--replace", "x", "--dry-run", "--search-only"},
         "--dry-run needs --replace TEXT"},
        {{"--folder", root, "--filter", "", "--search", "x"}, "Please type in a filter."},
        {{"--search", "x"}, "Please type in a folder to search in."},
        {{"--folder", missing, "--search", "x"},
         missing + ": No such file or directory\npellumar: Cannot find or access the specified "
                   "folder. Please type in a correct folder."},
        {{"--folder", tree.Path("sub"), "--filter", "../*", "--search", "old", "--replace", "x",
          "--yes"},
         "The filter may name only folders inside the folder to look in. Please type in a filter "
         "without \"..\" and without a leading \"/\"."},
        {{"--folder", root, "--replace", "x"},
         "The \"search for\" text box is empty. Please type in text that you want to find."},
        {{"--folder", root, "--search", "old", "--replace", "new"},
         "refusing to replace without confirmation: standard input is not a terminal; add --yes "
         "to replace"},
        {{"--folder", root, "--regex", "--search", "o)l", "--replace", "x", "--yes"},
         "the regular expression is not valid: unmatched closing parenthesis at character 2"},
        {{"--folder", root, "--regex", "--search", "(o)l", "--replace", "$2", "--yes"},
         "the replacement names a group the regular expression does not have: $2"},
    };
    for (const auto& [args, message] : cases) {
        const Result result = Pellumar(args);
        EXPECT_EQ(result.status, 2) << message;
        EXPECT_EQ(result.err.substr(0, result.err.find("Usage: ")), "pellumar: " + message + "\n");
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(Pellumar({"--bogus"}).err,
              "pellumar: unknown option '--bogus'\n" + std::string(cli::CliUsage()));
    EXPECT_EQ(tree.Read("a"), "old");
}

TEST(CliRunTest, TheProgressLineFitsTheTerminalAndShowsNoControlBytes) {
    EXPECT_EQ(cli::FormatProgressLine(12, 3, "/a\nb\x1b", 80), "12 examined, 3 found: /a?b?");
    EXPECT_EQ(cli::FormatProgressLine(12, 3, "/very/long/folder", 20).size(), 19u);
}

// Every entry below a folder, links not followed, by inode and status-change time: a write, a
// file renamed over it and a change of its rights each move them.
std::string Snapshot(const std::string& root) {
    std::string entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        entries += entry.path().string() + " " + std::to_string(st.st_ino) + " " +
                   std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec);
    }
    return entries;
}

// Each path listed byte for byte, on a line of its own or ended by a null; with --count, its
// matches after a colon, or after the null. The status is 0 when something was listed, 1 when
// nothing was.
TEST(CliRunTest, EachFileIsListedByteForByteAsAsked) {
    TempTree tree;
    tree.Write("a.txt", "aaaaa and AAA");
    tree.Write("sub/b.txt", "one aa\n", 0444);
    tree.Write("none.txt", "a");
    tree.Write("odd\xff.txt", "aa");
    tree.Write("new\nline\xff", "");
    for (const char* path : {".git/HEAD", ".env", "src/.cache/x", "in/x.txt", "In/y.txt"})
        tree.Write(path, "ref: v1");
    const std::string a = tree.Path("a.txt"), b = tree.Path("sub/b.txt"), null(1, '\0');
    const std::string odd = tree.Path("odd\xff.txt"), hard = tree.Path("sub/hard.txt");
    const std::string x = tree.Path("in/x.txt\n"), y = tree.Path("In/y.txt\n");
    fs::current_path(fs::temp_directory_path());  // where a relative folder starts
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--search", "aaA"}, a + "\n"},
        {{"--search", "aaA", "--match-case"}, ""},
        {{"--search", "--x"}, ""},  // a value may look like an option
        {{"--folder", fs::relative(tree.Root()).string(), "--search", "aaA"}, a + "\n"},
        {{"--filter", "new*", "--null"}, tree.Path("new\nline\xff") + null},
        // A filter's file name matches without regard to case, its folder part case for case, as
        // the file system names folders; --no-hidden leaves out dot-files and dot-folders.
        {{"--filter", "in/*.TXT"}, x},
        {{"--filter", "IN/*.txt"}, ""},
        {{"--filter", "In/Y.*"}, y},
        {{"--search", "v1"},
         x + y + tree.Path(".git/HEAD\n") + tree.Path(".env\n") + tree.Path("src/.cache/x\n")},
        {{"--search", "v1", "--no-hidden"}, x + y},
        // Leftmost and non-overlapping: "aaaaa" holds two, "AAA" one, ignoring case.
        {{"--no-subfolders", "--subfolders", "--search", "aa", "--count"},
         a + ":3\n" + b + ":1\n" + odd + ":1\n"},
        {{"--search", "AA", "--match-case", "--count", "--null"}, a + null + "1\n"},
        // A file whose size the system does not tell is read to its end, as a search reads it.
        {{"--folder", "/proc/sys/kernel", "--no-subfolders", "--filter", "ostype", "--search",
          "linux", "--count"},
         "/proc/sys/kernel/ostype:1\n"},
    };
    for (const auto& [args, out] : cases) {
        std::vector<std::string> all = {"--folder=" + tree.Root()};
        all.insert(all.end(), args.begin(), args.end());
        const Result result = Pellumar(all);
        EXPECT_EQ(Sorted(result.out), Sorted(out)) << args[1];
        EXPECT_EQ(result.status, out.empty() ? 1 : 0) << args[1];
    }
    // A dry run asks nothing; it lists what a replacement would change, with the counts, and
    // changes nothing: no byte, no time, no undo store. Both links lead to a.txt, which a
    // replacement changes once, under whichever name it reaches first; each name of the
    // hard-linked file is rewritten, and a file reached from another folder is listed there.
    tree.Write("sub/same.txt", "aA");  // its match reads as the replacement already
    fs::create_symlink("a.txt", tree.Path("link.txt"));
    fs::create_symlink("../a.txt", tree.Path("sub/up.txt"));
    fs::create_hard_link(odd, hard);
    TempTree state;
    const How inState{.stateHome = state.Root()};
    const std::string before = Snapshot(tree.Root());
    const Result dry = Pellumar(
        {"--folder", tree.Root(), "--search", "aa", "--replace", "xx", "--dry-run"}, inState);
    const Result sub = Pellumar(
        {"--folder", tree.Path("sub"), "--search", "aa", "--replace", "aA", "--dry-run"}, inState);
    EXPECT_EQ(dry.status, 0);
    EXPECT_EQ(dry.err, "");
    const std::string linked = ReplaceAll(dry.out, "link.txt:", "a.txt:");
    EXPECT_EQ(Sorted(ReplaceAll(linked, "sub/up.txt:", "a.txt:")),
              Sorted(a + ":3\n" + b + ":1\n" + odd + ":1\n" + hard + ":1\n" +
                     tree.Path("sub/same.txt:1\n")));
    EXPECT_EQ(Sorted(sub.out), Sorted(b + ":1\n" + hard + ":1\n" + tree.Path("sub/up.txt:3\n")));
    EXPECT_EQ(Snapshot(tree.Root()), before);
    EXPECT_TRUE(fs::is_empty(state.Root()));
    // The replacement itself lists the very names the dry run listed, with the same counts.
    const Result real = Pellumar({"--folder", tree.Root(), "--search", "aa", "--replace", "xx",
                                  "--count", "--yes", "--no-undo"});
    EXPECT_EQ(Sorted(real.out), Sorted(dry.out));
    EXPECT_EQ(tree.Read("a.txt"), "xxxxa and xxA");
    // With --long, a replacement lists each file as it now is, its size and time first: a dry run
    // as it was, the real one as it became.
    std::vector<std::string> replace = {"--folder", tree.Root(), "--filter",   "a.txt",
                                        "--search", "x",         "--replace=", "--yes",
                                        "--long",   "--dry-run"};
    const std::string shown = Pellumar(replace).out;
    EXPECT_TRUE(
        MatchesShape(ReplaceAll(shown, "PM\t", "AM\t"), "13b\t##/##/## ##:##AM\t" + a + ":6\n"))
        << shown;
    replace.pop_back();
    const Result replaced = Pellumar(replace);
    EXPECT_EQ(replaced.status, 0);
    EXPECT_TRUE(
        MatchesShape(ReplaceAll(replaced.out, "PM\t", "AM\t"), "7b\t##/##/## ##:##AM\t" + a + "\n"))
        << replaced.out;
}

// With --regex the search text is a pattern everywhere a literal works: counts, dry runs,
// replacements with the pattern's groups, undo, --null and --long. A file that the pattern
// cannot be matched in within its limits is named and left as it is, and the run goes on.
TEST(CliRunTest, APatternWorksWhereverTextDoes) {
    TempTree tree;
    tree.Write("src/a.c", "get_x(); get_y();\n");
    tree.Write("notes/d\xff.txt", "12/05 and 01/02\n");
    const std::string hard(40 << 10, 'a');
    tree.Write("hard", hard + "c b");
    const std::string c = tree.Path("src/a.c"), d = tree.Path("notes/d\xff.txt");
    const auto run = [&tree](std::vector<std::string> args) {
        args.insert(args.begin(), {"--folder", tree.Root(), "--regex", "--filter", "*.*"});
        return Pellumar(args);
    };
    EXPECT_EQ(run({"--search", "get_(\\w+)", "--count", "--null"}).out,
              c + std::string(1, '\0') + "2\n");
    const std::vector<std::string> swap = {"--search", "(\\d+)/(\\d+)", "--replace", "$2.$1"};
    std::vector<std::string> dry = swap;
    dry.push_back("--dry-run");
    EXPECT_EQ(run(dry).out, d + ":2\n");
    EXPECT_EQ(tree.Read("notes/d\xff.txt"), "12/05 and 01/02\n");
    std::vector<std::string> real = swap;
    real.insert(real.end(), {"--yes", "--long"});
    const Result replaced = run(real);
    EXPECT_EQ(replaced.status, 0);
    EXPECT_TRUE(MatchesShape(ReplaceAll(replaced.out, "PM\t", "AM\t"),
                             "16b\t##/##/## ##:##AM\t" + d + "\n"))
        << replaced.out;
    EXPECT_EQ(tree.Read("notes/d\xff.txt"), "05.12 and 02.01\n");
    EXPECT_EQ(Pellumar({"--undo", "--yes"}).status, 0);
    EXPECT_EQ(tree.Read("notes/d\xff.txt"), "12/05 and 01/02\n");
    // Without --regex the same text is literal.
    EXPECT_EQ(Pellumar({"--folder", tree.Root(), "--search", "get_(\\w+)"}).status, 1);
    const Result complex = run({"--search", "(a|aa)*(a|aa)*b", "--replace", "x", "--yes"});
    EXPECT_EQ(complex.status, 2);
    EXPECT_EQ(complex.err,
              "pellumar: " + tree.Path("hard") + ": pattern too complex for this file\n");
    EXPECT_EQ(tree.Read("hard"), hard + "c b");
}

// Output that cannot be written ends the run at once, and says why unless nobody reads it:
// more output than a pipe holds, so that it meets the closed end however fast the search.
TEST(CliRunTest, OutputThatCannotBeWrittenEndsTheRunAndSaysWhyUnlessNobodyReadsIt) {
    TempTree tree;
    std::string content;
    for (int i = 0; i < 64; ++i)
        content += std::string(4000, 'z') + "old\n";
    for (int i = 0; i < 400; ++i)  // their names more than a pipe holds
        tree.Write("d" + std::to_string(i % 9) + "/" + std::string(200, 'f') + std::to_string(i),
                   content);
    const Result unread = Pellumar({"--folder", tree.Root(), "--search-only"}, {.unread = true});
    EXPECT_EQ(unread.status, 2);
    EXPECT_EQ(unread.err, "");
    const Result full = Pellumar(
        {"--folder", tree.Root(), "--search", "old", "--replace", "new", "--yes", "--no-undo"},
        {.output = "/dev/full"});
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err, "pellumar: write error: No space left on device\n");
    int changed = 0;
    for (const std::string& file : tree.Files())
        changed += tree.Read(file) != content;
    EXPECT_LT(changed, 400);  // it stopped
}

// A file that holds the text but could not be changed is named, not listed, and the run ends
// with 2; the prompt names the file as well as its temporary file. Skipped, it leaves the files
// after it to be replaced and listed; cancelled, it ends the run. Answered without asking and with
// no word asked for, the run is silent, but its status tells. (Each step of putting a file in
// place fails in the engine's FaultTest.)
TEST(CliRunTest, FailuresArePromptedAndAnsweredAsAskedWithNothingLeftBehind) {
    const std::string content = std::string(3000, '.') + "old";
    const struct {
        std::vector<std::string> answer;
        std::string input, reply;
    } cases[] = {
        {{"--on-error", "skip"}, "", "pellumar: answered OK\n"},
        {{}, "", "pellumar: answered Cancel\n"},  // no terminal: abort
        {{"--on-error", "ask"}, "maybe\nc\n", "[O]K, [C]ancel? [O]K, [C]ancel? "},
        {{"--on-error", "skip", "--no-messages"}, "", ""},
    };
    for (const auto& c : cases) {
        TempTree tree;
        tree.Write("a", content);
        tree.Write("sub/b", "old");  // reached after the files of the folder above it
        // Kept undo copies would meet the size limit too.
        std::vector<std::string> args = {"--folder",  tree.Root(), "--search", "old",
                                         "--replace", "new",       "--yes",    "--no-undo"};
        args.insert(args.end(), c.answer.begin(), c.answer.end());
        const Result result = Pellumar(args, {.fileSizeLimit = 2048, .input = c.input});
        EXPECT_EQ(result.status, 2);
        const bool skipped = c.answer.size() > 1 && c.answer[1] == "skip";
        EXPECT_EQ(result.out, skipped ? tree.Path("sub/b") + "\n" : "");
        EXPECT_EQ(tree.Read("sub/b"), skipped ? "new" : "old");
        const std::string told =
            "pellumar: " + tree.Path("a") + ": Cannot close the output file (" + tree.Root() +
            "/pel*.tmp): The disk is full: not enough disk space "
            "available for the operation. OK to skip this file and "
            "continue this search or Cancelit?\n" +
            c.reply + "pellumar: " + tree.Path("a") + ": not changed: File too large\n";
        EXPECT_EQ(MaskTemporaryNames(result.err), c.reply.empty() ? "" : told);
        EXPECT_EQ(tree.Read("a"), content);
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    }
}

// Names reach the terminal escaped, as ls -b shows them; the list of files keeps every byte.
TEST(CliRunTest, WhatCannotBeReadIsNamedAsGrepNamesItAndTheRunEndsWithTwo) {
    TempTree tree;
    const std::string odd = "e\033[31mred\a\r\\";
    tree.Write("a/x", "needle");
    tree.Write("a/" + odd, "needle");
    tree.Write("unreadable", "needle", 0);
    tree.Write(odd + "/y", "needle");  // may be entered, not listed
    tree.Write("noexec/z", "needle");  // may be listed, not entered
    ::chmod(tree.Path(odd).c_str(), 0311);
    ::chmod(tree.Path("noexec").c_str(), 0644);
    fs::create_symlink("nowhere", tree.Path("dangling"));
    ASSERT_EQ(::mkfifo(tree.Path("fifo").c_str(), 0644), 0);  // passed over without a word

    const How asUser{.asNobody = true};
    const Result result =
        Pellumar({"--folder", tree.Root(), "--search", "needle", "--match-case"}, asUser);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(Sorted(result.out), Sorted(tree.Path("a/x\n") + tree.Path("a/" + odd + "\n")));
    const std::string denied = ": Permission denied\npellumar: ";
    EXPECT_EQ(
        Sorted(result.err),
        Sorted("pellumar: " + tree.Path("dangling") + ": No such file or directory\n" +
               "pellumar: " + tree.Path("e\\033[31mred\\a\\r\\\\") + denied + tree.Path("noexec") +
               denied + tree.Path("unreadable") + ": Permission denied\n"));
    const Result quiet = Pellumar(
        {"--folder", tree.Root(), "--search", "needle", "--no-messages", "--quiet"}, asUser);
    EXPECT_EQ(quiet.status, 2);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(quiet.out, result.out);
    ::chmod(tree.Path(odd).c_str(), 0755);
    ::chmod(tree.Path("noexec").c_str(), 0755);
}

// Interrupts while a replacement of many files waits to write its lines into a pipe that is
// not read: the first stops the search, and the run ends once every line reported is written;
// the second ends the program, but only once every line reported so far is written; a third
// ends it at once. Ctrl-\\ stops as Ctrl-C does, without the core dump that would leave a
// temporary file. (Files stopped in the middle stay old or new: the engine's StopTest and the
// kills of the reliability tests.)
TEST(CliRunTest, AnInterruptStopsASecondLosesNoLineOfOutputAndAThirdEndsTheRunAtOnce) {
    for (const int interrupts : {1, 2, 3}) {
        const int signal = interrupts == 1 ? SIGQUIT : SIGINT;
        TempTree tree;
        for (int i = 0; i < 3000; ++i) {
            tree.Write(
                "d" + std::to_string(i % 7) + "/" + std::string(100, 'f') + std::to_string(i),
                "old");
        }
        int output = -1;
        const pid_t pid = StartPellumar(
            {"--folder", tree.Root(), "--search", "old", "--replace", "new", "--yes"}, output);
        // Once the pipe is full, a thread of it sleeps in a pipe write, as the kernel names where
        // it waits, and what lies in the pipe stops growing. A full pipe holds less than its 64
        // KiB where writes ended part way into a page, so its content alone does not tell.
        const std::string sleeps =
            "grep -qs pipe_write /proc/" + std::to_string(pid) + "/task/*/wchan";
        bool waiting = false;
        for (int pending = 0, before = -1, polls = 0; !waiting && polls < 1000; ++polls) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            before = std::exchange(pending, 0);
            ::ioctl(output, FIONREAD, &pending);
            waiting = pending > 0 && pending == before && std::system(sleeps.c_str()) == 0;
        }
        EXPECT_TRUE(waiting) << "pellumar never waited to write its output";
        for (int i = 0; i < interrupts; ++i) {
            ::kill(pid, signal);
            std::this_thread::sleep_for(std::chrono::milliseconds(i == 0 ? 200 : 100));
        }
        std::ostringstream out;  // the pipe read to its end
        if (interrupts < 3)
            out << std::ifstream("/proc/self/fd/" + std::to_string(output)).rdbuf();
        int status = 0;
        for (int polls = 0; polls < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++polls)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (::kill(pid, SIGKILL) == 0)  // not ended yet
            ::waitpid(pid, &status, 0);
        ::close(output);
        // Two interrupts may also end it as one does, when its last lines were still being
        // written.
        EXPECT_TRUE(WIFSIGNALED(status) ? interrupts > 1 && WTERMSIG(status) == signal
                                        : interrupts < 3 && WEXITSTATUS(status) == 128 + signal)
            << interrupts << " interrupts: " << status;
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
        std::string rewritten;
        for (const std::string& file : tree.Files())
            rewritten += tree.Read(file) == "new" ? tree.Path(file) + "\n" : "";
        if (interrupts < 3) {
            EXPECT_EQ(Sorted(out.str()), Sorted(rewritten));
        }
    }
}

}  // namespace
}  // namespace pellumar
