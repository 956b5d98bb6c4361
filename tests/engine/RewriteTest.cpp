// Putting new content in place: atomic, permission bits and attributes kept, links, files that
// changed meanwhile, and two runs at once.
#include <acl/libacl.h>
#include <fcntl.h>
#include <gtest/gtest.h>

#include <sys/acl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <thread>
#include <tuple>

#include "FaultySys.h"
#include "TextShape.h"
#include "UndoStore.h"

namespace pellumar::test {
namespace {

// The new content is flushed before it takes the file's place and keeps the file's permission
// bits, extended attributes and access list; a file without a match is not touched. A link is
// rewritten beside its target, outside the walked folder, and stays a link; another name of the
// target keeps the old content.
TEST(RewriteTest, KeepsModeAttributesAccessListAndLinksFlushesFirstAndTouchesOnlyMatchingFiles) {
    TempTree tree;
    tree.Write("w/script.sh", "#!/bin/sh\necho old\n", 0755);
    tree.Write("w/private", "old secret", 0600);
    tree.Write("w/listed", "old", 0640);
    tree.Write("w/untouched", "nothing to see", 0640);
    tree.Write("real/target.txt", "old text");
    std::filesystem::create_symlink("../real/target.txt", tree.Path("w/link.txt"));
    ASSERT_EQ(::link(tree.Path("real/target.txt").c_str(), tree.Path("real/hard").c_str()), 0);
    const std::string listed = tree.Path("w/listed");
    const bool attributed = ::setxattr(listed.c_str(), "user.origin", "kept", 4, 0) == 0;
    acl_t acl = acl_from_text("u::rw-,u:65534:r--,g::r--,m::r--,o::---");
    const bool withList = acl_set_file(listed.c_str(), ACL_TYPE_ACCESS, acl) == 0;
    acl_free(acl);
    struct stat before, after;
    ASSERT_EQ(::stat(tree.Path("w/untouched").c_str(), &before), 0);
    FaultySys sys;
    bool flushed = false;
    Lines temporary;
    sys.Before(Op::Fsync, [&] { flushed = true; });
    sys.Before(Op::Rename, [&] {
        EXPECT_TRUE(flushed);
        temporary = tree.TemporaryFiles();
    });
    const Heard sink(tree, {"w", "*.*", "old", "new"}, sys);
    EXPECT_EQ(tree.Read("w/script.sh"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(tree.Read("w/listed") + tree.Read("real/target.txt"), "newnew text");
    EXPECT_EQ(tree.Read("real/hard"), "old text");
    EXPECT_TRUE(std::filesystem::is_symlink(tree.Path("w/link.txt")));
    EXPECT_EQ(tree.Mode("w/script.sh"), 0755u);
    EXPECT_EQ(tree.Mode("w/private"), 0600u);
    EXPECT_EQ(Sorted(sink.Found()), (Lines{"w/link.txt", "w/listed", "w/private", "w/script.sh"}));
    ASSERT_EQ(temporary.size(), 4u);  // placed together, all at once
    EXPECT_EQ(temporary[0].rfind("real/pel", 0), 0u) << temporary[0];
    ASSERT_EQ(::stat(tree.Path("w/untouched").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    char value[16] = {};
    if (attributed) {
        EXPECT_EQ(::getxattr(listed.c_str(), "user.origin", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
    if (withList) {
        acl_t now = acl_get_file(listed.c_str(), ACL_TYPE_ACCESS);
        char* text = acl_to_any_text(now, nullptr, ',', 0);
        EXPECT_STREQ(text, "user::rw-,user:nobody:r--,group::r--,mask::r--,other::---");
        acl_free(text);
        acl_free(now);
    }
}

// A file that another program removes just before its new content would take its place stays
// gone, and is named.
TEST(RewriteTest, FileThatMayNotBeReplacedStaysAsItIsAndIsNamed) {
    Scene removed("old");
    removed.tree.Write("sub/next", "old");
    removed.sys.Before(Op::Fsync, [&] { ::unlink(removed.tree.Path("a").c_str()); });
    removed.Run();
    EXPECT_EQ(removed.tree.Read("a"), "<missing>");
    EXPECT_EQ(removed.sink.Others(),
              (Lines{"noretry replace the file (a) cause 2 os 2 -> 2",
                     "not changed a: No such file or directory", "finished 0"}));
    EXPECT_EQ(removed.sink.Found(), (Lines{"a", "sub/next"}));
    EXPECT_EQ(removed.tree.TemporaryFiles(), Lines{});
    EXPECT_EQ(removed.tree.Read("sub/next"), "new");
    // A link whose target cannot be followed from its folder is named and stays a link: it is
    // never replaced by a plain file, and its target keeps its text.
    Scene s("old");
    std::filesystem::create_symlink("a", s.tree.Path("link"));
    s.sys.Fail(Op::Readlink, EACCES, -1, "link");
    s.Run({"", "link", "old", "new"});
    EXPECT_TRUE(std::filesystem::is_symlink(s.tree.Path("link")));
    EXPECT_EQ(s.tree.Read("a"), "old");
    EXPECT_EQ(s.sink.Others(), (Lines{"noretry replace the file (link) cause 5 os 13 -> 2",
                                      "not changed link: Permission denied", "finished 0"}));
}

// Another program changes the file, puts a file of its own in its place or at the temporary
// name, or renames its folder, between its reading and its placing, or saves over it just after,
// as an editor saves (a new file renamed over the name): what it made stays. Where that still
// holds the text, the file is read again and the replacement made on it; a file at the temporary
// name cannot be told from a save just after the exchange. Nothing stays at a temporary name.
TEST(RewriteTest, ChangeMadeMeanwhileIsKeptAndTheReplacementMadeOnIt) {
    const struct {
        std::optional<Op> when;  // none: just after the new content took the file's place
        std::string theirs;      // what takes the file's place; empty: " old" is appended to it
        std::string expected;
    } cases[] = {
        {Op::Fsync, "", "new new"},
        {Op::Fsync, "theirs old", "theirs new"},     // before the check
        {Op::Rename, "theirs old", "theirs new"},    // after the last check
        {Op::Fsync, "theirs", "theirs"},             // without the text
        {Op::Fsync, "moved", "new"},                 // the folder renamed
        {Op::Rename, "temporary", "theirs"},         // at the temporary name
        {std::nullopt, "theirs old", "theirs old"},  // saved over just after
    };
    for (const bool undo : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.theirs + " " + std::to_string(c.when ? static_cast<int>(*c.when) : -1) +
                         " " + std::to_string(undo));
            Scene s;
            s.tree.Write("d/a", "old");
            const auto act = [&] {
                if (c.theirs.empty()) {
                    std::ofstream(s.tree.Path("d/a"), std::ios::app) << " old";
                } else if (c.theirs == "moved") {
                    ::rename(s.tree.Path("d").c_str(), s.tree.Path("e").c_str());
                } else {
                    const bool temporary = c.theirs == "temporary";
                    s.tree.Write("theirs", temporary ? "theirs" : c.theirs);
                    const std::string at = temporary ? s.tree.TemporaryFiles().at(0) : "d/a";
                    ::rename(s.tree.Path("theirs").c_str(), s.tree.Path(at).c_str());
                }
            };
            c.when ? s.sys.Before(*c.when, act) : s.sys.AfterRename(act);
            s.Run(undo ? s.KeepingUndo({"", "*.*", "old", "new"})
                       : Request{"", "*.*", "old", "new"});
            EXPECT_EQ(s.tree.Read(c.theirs == "moved" ? "e/a" : "d/a"), c.expected);
            EXPECT_EQ(s.sink.Others(), Lines{"finished 0"});
            EXPECT_EQ(s.sink.Found(), c.theirs == "theirs" ? Lines{} : Lines{"d/a"});
            EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});
        }
    }
    // A file that other programs keep changing is given up after a few readings.
    Scene s("old");
    std::function<void()> append = [&] {
        std::ofstream(s.tree.Path("a"), std::ios::app) << "+";
        s.sys.Before(Op::Fsync, append);
    };
    s.sys.Before(Op::Fsync, append);
    s.Run();
    EXPECT_EQ(s.tree.Read("a"), "old+++");
    EXPECT_EQ(s.sink.Others(),
              (Lines{"noretry replace the file (a) cause 11 os -1 -> 2",
                     "not changed a: changed by another program meanwhile", "finished 0"}));
}

// An undo met by a save just after it put the old content back leaves the save, names the file,
// and keeps the old content it could not put back. Should the old content have been changed
// meanwhile as well, on a save just after a replacement, it exists nowhere else: it stays at the
// temporary name, which the prompt names, and the file is not changed again.
TEST(RewriteTest, ASaveRightAfterThePlacingStays) {
    Scene s;
    const auto saveOver = [&s](const std::string& text) {
        s.tree.Write("editor", text);
        ASSERT_EQ(::rename(s.tree.Path("editor").c_str(), s.tree.Path("f").c_str()), 0);
    };
    s.tree.Write("f", "X Y");
    const Heard replaced(s.tree, s.KeepingUndo({"", "f", "X", "X1"}));
    UndoStore store(s.store, s.sys);
    s.sys.AfterRename([&] { saveOver("X1 Y3"); });
    const auto run = store.LastToUndo()->id;
    const UndoOutcome outcome = store.Undo(run);
    EXPECT_EQ(outcome.restored, 0u);  // left, and named
    EXPECT_EQ(outcome.left.size(), 1u);
    EXPECT_EQ(s.tree.Read("f"), "X1 Y3");
    EXPECT_EQ(s.state.Read("pellumar/undo/" + std::to_string(run) + "/f1"),
              "X Y");  // its only copy
    EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});

    s.tree.Write("f", "X Y");
    s.sys.AfterRename([&] {
        std::ofstream(s.tree.Path(s.tree.TemporaryFiles().at(0)), std::ios::app) << " more";
        saveOver("X1 Y2");
    });
    s.Run({"", "f", "X", "X1"});
    EXPECT_EQ(s.tree.Read("f"), "X1 Y2");
    ASSERT_EQ(s.tree.TemporaryFiles().size(), 1u);
    EXPECT_EQ(s.tree.Read(s.tree.TemporaryFiles()[0]), "X Y more");
    EXPECT_EQ(s.sink.Others(),
              (Lines{"noretry replace the file (pel*.tmp) cause 11 os -1 -> 2",
                     "not changed f: changed by another program meanwhile", "finished 0"}));
}

// Two runs rewrite the same file at once: the second waits for the first one's lock, reads the
// file again once the first has put its content in place, and adds its own change to it. Nor
// does it take the first one's temporary file for a file of the user's.
TEST(RewriteTest, TwoRunsAtOnceKeepBothChanges) {
    for (const std::string filter : {"a", "*"}) {
        SCOPED_TRACE(filter);
        TempTree tree;
        tree.Write("a", "foo and bar");
        std::promise<void> secondWaits;
        std::thread second;
        FaultySys first;
        first.Before(Op::Rename, [&] {
            second = std::thread([&] {
                FaultySys sys;
                sys.Before(Op::Lock, [&] { secondWaits.set_value(); });
                const Heard sink(tree, {"", filter, "bar", "BAR"}, sys);
                EXPECT_EQ(sink.Found(), Lines{"a"});
                EXPECT_EQ(sink.Others(), Lines{"finished 0"});
            });
            // The second run has read the file (or found the temporary one) and asks for its
            // lock.
            secondWaits.get_future().wait();
        });
        const Heard sink(tree, {"", "*.*", "foo", "FOO"}, first);
        second.join();
        EXPECT_EQ(tree.Read("a"), "FOO and BAR");
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    }
    // A file of that name that no run holds is the user's own.
    TempTree tree;
    tree.Write("pel1A2B.tmp", "bar");
    const int held = ::open(tree.Path("pel1A2B.tmp").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const Heard whileHeld(tree, {"", "*", "bar", "", true, true});
    EXPECT_EQ(whileHeld.Found(), Lines{});
    ::close(held);
    const Heard released(tree, {"", "*", "bar", "BAR"});
    EXPECT_EQ(released.Found(), Lines{"pel*.tmp"});  // as the sink writes such names
}

// Another program, as another run does, replaces a file the run has placed, and then the next
// file the run is about to place, with a file that the system gives the number the run's new file
// had: that file is not the run's own, and the run makes its change on top of the other
// program's and tells the file.
TEST(RewriteTest, AnotherProgramsFileGivenTheNumberOfOneTheRunPlacedIsChangedAndTold) {
    for (const bool undo : {false, true}) {
        SCOPED_TRACE(undo);
        Scene s;
        s.tree.Write("p", "old p");
        s.tree.Write("q", "old q");
        std::string placed;  // the first name to take its new content
        bool acted = false;
        s.sys.BeforeEach(Op::Rename, [&](const std::string& name) {
            if (placed.empty() && (name == "p" || name == "q")) {
                placed = name;
            }
        });
        // Before the other file's last checks, once the first is in place.
        s.sys.BeforeEach(Op::Access, [&](const std::string& name) {
            if (acted || placed.empty() || name == placed || (name != "p" && name != "q")) {
                return;
            }
            acted = true;
            struct stat made, theirs;
            ASSERT_EQ(::stat(s.tree.Path(placed).c_str(), &made), 0);
            s.tree.Write("theirs", "their new " + placed);
            ASSERT_EQ(::rename(s.tree.Path("theirs").c_str(), s.tree.Path(placed).c_str()), 0);
            s.tree.Write("theirs", "theirs and old " + name);
            ASSERT_EQ(::stat(s.tree.Path("theirs").c_str(), &theirs), 0);
            s.sys.Renumber(theirs.st_ino, made.st_ino);
            ASSERT_EQ(::rename(s.tree.Path("theirs").c_str(), s.tree.Path(name).c_str()), 0);
        });
        const Request request{"", "*", "old", "new"};
        s.Run(undo ? s.KeepingUndo(request) : request);
        ASSERT_TRUE(acted);
        const std::string other = placed == "p" ? "q" : "p";
        EXPECT_EQ(s.tree.Read(placed), "their new " + placed);
        EXPECT_EQ(s.tree.Read(other), "theirs and new " + other);
        EXPECT_EQ(Sorted(s.sink.Found()), (Lines{"p", "q"}));
        EXPECT_EQ(s.sink.Others(), Lines{"finished 0"});
        EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});
    }
}

// New content that equals the old (every match already reads as its replacement, case and all)
// is not written: the file keeps its inode, its other names and its time stamps. Changed or not,
// the names told are those a change rewrites: every name of a hard-linked file, in any folder,
// each once, and a linked file once.
TEST(RewriteTest, ReplacementThatChangesNothingLeavesTheFileAndTellsEveryNameAChangeWould) {
    Lines names;
    for (const auto& [search, replace, ignoreCase] :
         {std::tuple{"abc", "xyz", false}, {"abc", "abc", false}, {"ABC", "ABC", true}}) {
        SCOPED_TRACE(replace);
        Scene s("abc ABC x");
        s.tree.Write("sub/keep", "none");
        ASSERT_EQ(::link(s.tree.Path("a").c_str(), s.tree.Path("h2").c_str()), 0);
        ASSERT_EQ(::link(s.tree.Path("a").c_str(), s.tree.Path("sub/h3").c_str()), 0);
        ASSERT_EQ(::symlink("../h2", s.tree.Path("sub/soft").c_str()), 0);
        s.Run({"", "*", search, replace, true, false, true, ignoreCase});
        const Lines found = Sorted(s.sink.Found());
        EXPECT_EQ(found.size(), 3u) << ::testing::PrintToString(found);
        EXPECT_TRUE(names.empty() || found == names);
        names = found;
        const bool same = std::string(replace) == "abc";
        EXPECT_EQ(s.tree.Read("h2"), same ? "abc ABC x" : ReplaceAll("abc ABC x", "abc", replace));
        EXPECT_EQ(s.sys.Calls(Op::CreateTemp) == 0, same);
    }
}

}  // namespace
}  // namespace pellumar::test
