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
#include <algorithm>

#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <thread>
#include <tuple>

#include "FaultySys.h"
#include "TextShape.h"
#include "UndoStore.h"

namespace pellumar {
namespace {

using namespace test;

// The new content is flushed before it takes the file's place and keeps the file's permission
// bits, extended attributes and access list; a file without a match is not touched.
TEST(RewriteTest, KeepsModeAttributesAndAccessListFlushesFirstAndTouchesOnlyMatchingFiles) {
    TempTree tree;
    tree.Write("script.sh", "#!/bin/sh\necho old\n", 0755);
    tree.Write("private", "old secret", 0600);
    tree.Write("listed", "old", 0640);
    tree.Write("untouched", "nothing to see", 0640);
    const std::string listed = tree.Path("listed");
    const bool attributed = ::setxattr(listed.c_str(), "user.origin", "kept", 4, 0) == 0;
    acl_t acl = acl_from_text("u::rw-,u:65534:r--,g::r--,m::r--,o::---");
    const bool withList = acl_set_file(listed.c_str(), ACL_TYPE_ACCESS, acl) == 0;
    acl_free(acl);
    struct stat before, after;
    ASSERT_EQ(::stat(tree.Path("untouched").c_str(), &before), 0);
    FaultySys sys;
    bool flushed = false;
    sys.Before(Op::Fsync, [&] { flushed = true; });
    sys.Before(Op::Rename, [&] { EXPECT_TRUE(flushed); });
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.Read("script.sh"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(tree.Read("listed"), "new");
    EXPECT_EQ(tree.Mode("script.sh"), 0755u);
    EXPECT_EQ(tree.Mode("private"), 0600u);
    EXPECT_EQ(sys.Calls(Op::CreateTemp), 3);
    ASSERT_EQ(::stat(tree.Path("untouched").c_str(), &after), 0);
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

TEST(RewriteTest, LinkedFileIsRewrittenBesideItsTargetAndHardLinksKeepTheOldContent) {
    TempTree tree;
    tree.Write("real/target.txt", "old text");
    tree.Write("links/other", "");
    tree.Write("b/other", "");
    std::filesystem::create_symlink("../real/target.txt", tree.Path("links/link.txt"));
    ASSERT_EQ(::link(tree.Path("real/target.txt").c_str(), tree.Path("b/hard").c_str()), 0);
    FaultySys sys;
    Lines temporary;
    sys.Before(Op::Rename, [&] { temporary = tree.TemporaryFiles(); });
    RecordingSink sink(tree.Root());
    RunSearch({tree.Path("links"), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(sink.Found(), Lines{"links/link.txt"});
    EXPECT_EQ(tree.Read("real/target.txt"), "new text");
    EXPECT_TRUE(std::filesystem::is_symlink(tree.Path("links/link.txt")));
    ASSERT_EQ(temporary.size(), 1u);
    EXPECT_EQ(temporary[0].rfind("real/pel", 0), 0u) << temporary[0];
    EXPECT_EQ(tree.Read("b/hard"), "old text");
}

TEST(RewriteTest, FileThatMayNotBeReplacedStaysAsItIsAndIsNamed) {
    const struct {
        Op op;
        int error;  // 0: the file is removed before the call
        std::string prompt, reason;
    } cases[] = {
        {Op::Access, EACCES, "noretry replace the file (a) cause 5 os 13", "Permission denied"},
        {Op::Fsync, 0, "noretry replace the file (a) cause 2 os 2", "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        Scene s("old");
        s.tree.Write("sub/next", "old");
        if (c.error != 0) {
            s.sys.Fail(c.op, c.error);
        } else {
            s.sys.Before(c.op, [&] { ::unlink(s.tree.Path("a").c_str()); });
        }
        s.Run();
        EXPECT_EQ(s.tree.Read("a"), c.error != 0 ? "old" : "<missing>");
        EXPECT_EQ(s.sink.Others(),
                  (Lines{c.prompt + " -> 2", "not changed a: " + c.reason, "finished 0"}));
        EXPECT_EQ(s.sink.Found(), (Lines{"a", "sub/next"}));
        EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});
        EXPECT_EQ(s.tree.Read("sub/next"), "new");
    }
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
            TempTree tree, state;
            tree.Write("d/a", "old");
            FaultySys sys;
            const auto act = [&] {
                if (c.theirs.empty()) {
                    std::ofstream(tree.Path("d/a"), std::ios::app) << " old";
                } else if (c.theirs == "moved") {
                    ::rename(tree.Path("d").c_str(), tree.Path("e").c_str());
                } else {
                    const bool temporary = c.theirs == "temporary";
                    tree.Write("theirs", temporary ? "theirs" : c.theirs);
                    const std::string at = temporary ? tree.TemporaryFiles().at(0) : "d/a";
                    ::rename(tree.Path("theirs").c_str(), tree.Path(at).c_str());
                }
            };
            c.when ? sys.Before(*c.when, act) : sys.AfterRename(act);
            Request request{tree.Root(), "*.*", "old", "new"};
            request.undoFolder = state.Path("undo");
            request.keepUndo = undo;
            RecordingSink sink(tree.Root());
            RunSearch(request, sink, sys);
            EXPECT_EQ(tree.Read(c.theirs == "moved" ? "e/a" : "d/a"), c.expected);
            EXPECT_EQ(sink.Others(), Lines{"finished 0"});
            EXPECT_EQ(sink.Found(), c.theirs == "theirs" ? Lines{} : Lines{"d/a"});
            EXPECT_EQ(tree.TemporaryFiles(), Lines{});
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
    TempTree tree, state;
    const auto saveOver = [&tree](const std::string& text) {
        tree.Write("editor", text);
        ASSERT_EQ(::rename(tree.Path("editor").c_str(), tree.Path("f").c_str()), 0);
    };
    tree.Write("f", "X Y");
    Request request{tree.Root(), "f", "X", "X1"};
    request.undoFolder = state.Path("undo");
    request.keepUndo = true;
    RecordingSink replaced(tree.Root());
    RunSearch(request, replaced);
    FaultySys sys;
    UndoStore store(request.undoFolder, sys);
    sys.AfterRename([&] { saveOver("X1 Y3"); });
    const auto run = store.LastToUndo()->id;
    const UndoOutcome outcome = store.Undo(run);
    EXPECT_EQ(outcome.restored, 0u);  // left, and named
    EXPECT_EQ(outcome.left.size(), 1u);
    EXPECT_EQ(tree.Read("f"), "X1 Y3");
    EXPECT_EQ(state.Read("undo/" + std::to_string(run) + "/f1"), "X Y");  // its only copy
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});

    tree.Write("f", "X Y");
    sys.AfterRename([&] {
        std::ofstream(tree.Path(tree.TemporaryFiles().at(0)), std::ios::app) << " more";
        saveOver("X1 Y2");
    });
    RecordingSink sink(tree.Root());
    request.keepUndo = false;
    RunSearch(request, sink, sys);
    EXPECT_EQ(tree.Read("f"), "X1 Y2");
    ASSERT_EQ(tree.TemporaryFiles().size(), 1u);
    EXPECT_EQ(tree.Read(tree.TemporaryFiles()[0]), "X Y more");
    EXPECT_EQ(sink.Others(),
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
                RecordingSink sink(tree.Root());
                RunSearch({tree.Root(), filter, "bar", "BAR"}, sink, sys);
                EXPECT_EQ(sink.Found(), Lines{"a"});
                EXPECT_EQ(sink.Others(), Lines{"finished 0"});
            });
            // The second run has read the file (or found the temporary one) and asks for its
            // lock.
            secondWaits.get_future().wait();
        });
        RecordingSink sink(tree.Root());
        RunSearch({tree.Root(), "*.*", "foo", "FOO"}, sink, first);
        second.join();
        EXPECT_EQ(tree.Read("a"), "FOO and BAR");
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    }
    // A file of that name that no run holds is the user's own.
    TempTree tree;
    tree.Write("pel1A2B.tmp", "bar");
    const int held = ::open(tree.Path("pel1A2B.tmp").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    RecordingSink whileHeld(tree.Root());
    RunSearch({tree.Root(), "*", "bar", "", true, true}, whileHeld);
    EXPECT_EQ(whileHeld.Found(), Lines{});
    ::close(held);
    RecordingSink released(tree.Root());
    RunSearch({tree.Root(), "*", "bar", "BAR"}, released);
    EXPECT_EQ(released.Found(), Lines{"pel*.tmp"});  // as the sink writes such names
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
}  // namespace pellumar
