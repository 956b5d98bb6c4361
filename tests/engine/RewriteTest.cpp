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
#include <thread>

#include "FaultySys.h"
#include "RecordingSink.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using namespace test;

TEST(RewriteTest, KeepsPermissionBitsFlushesFirstAndTouchesOnlyMatchingFiles) {
    TempTree tree;
    tree.Write("script.sh", "#!/bin/sh\necho old\n", 0755);
    tree.Write("private", "old secret", 0600);
    tree.Write("untouched", "nothing to see", 0640);
    struct stat before, after;
    ASSERT_EQ(::stat(tree.Path("untouched").c_str(), &before), 0);
    FaultySys sys;
    bool flushed = false;
    sys.Before(Op::Fsync, [&] { flushed = true; });
    sys.Before(Op::Rename, [&] { EXPECT_TRUE(flushed); });
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.Read("script.sh"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(tree.Mode("script.sh"), 0755u);
    EXPECT_EQ(tree.Mode("private"), 0600u);
    EXPECT_EQ(sys.Calls(Op::CreateTemp), 2);
    ASSERT_EQ(::stat(tree.Path("untouched").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
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
        const char* name;
        std::function<void(FaultySys&, const TempTree&)> arrange;
        std::string expectedContent, expectedPrompt, expectedReason;
    } cases[] = {
        {"write-protected", [](FaultySys& sys, const TempTree&) { sys.Fail(Op::Access, EACCES); },
         "old", "noretry replace the file (a) cause 5 os 13 -> 2", "Permission denied"},
        {"removed meanwhile",
         [](FaultySys& sys, const TempTree& tree) {
             sys.Before(Op::Fsync, [&] { ::unlink(tree.Path("a").c_str()); });
         },
         "<missing>", "noretry replace the file (a) cause 2 os 2 -> 2",
         "No such file or directory"},
        {"rename refused", [](FaultySys& sys, const TempTree&) { sys.Fail(Op::Rename, EXDEV); },
         "old", "noretry replace the file (a) cause 1 os 18 -> 2", "Invalid cross-device link"},
        {"access list refused",
         [](FaultySys& sys, const TempTree&) { sys.Fail(Op::PermCopy, EPERM); }, "old",
         "error open the temporary file (pel*.tmp) cause 5 os 1 -> 2", "Operation not permitted"},
        {"attributes refused",
         [](FaultySys& sys, const TempTree&) { sys.Fail(Op::AttrCopy, ENOTSUP); }, "old",
         "error open the temporary file (pel*.tmp) cause 1 os 95 -> 2", "Operation not supported"},
        {"lock refused", [](FaultySys& sys, const TempTree&) { sys.Fail(Op::Lock, EIO); }, "old",
         "noretry replace the file (a) cause 10 os 5 -> 2", "Input/output error"},
    };
    for (const auto& c : cases) {
        TempTree tree;
        tree.Write("a", "old");
        tree.Write("sub/next", "old");
        FaultySys sys;
        c.arrange(sys, tree);
        RecordingSink sink(tree.Root());
        sink.Reply({}, ErrorReply::SkipFile);
        RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
        EXPECT_EQ(tree.Read("a"), c.expectedContent) << c.name;
        EXPECT_EQ(sink.Others(),
                  (Lines{c.expectedPrompt, "not changed a: " + c.expectedReason, "finished 0"}))
            << c.name;
        EXPECT_EQ(sink.Found(), (Lines{"a", "sub/next"})) << c.name;
        EXPECT_EQ(tree.TemporaryFiles(), Lines{}) << c.name;
        EXPECT_EQ(tree.Read("sub/next"), "new") << c.name;
    }
}

// A link whose target cannot be followed from its folder is named and stays a link: it is never
// replaced by a plain file, and its target keeps its text.
TEST(RewriteTest, LinkThatCannotBeFollowedStaysALink) {
    TempTree tree;
    tree.Write("target", "old");
    std::filesystem::create_symlink("target", tree.Path("link"));
    FaultySys sys;
    sys.Fail(Op::Readlink, EACCES, -1, "link");
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "link", "old", "new"}, sink, sys);
    EXPECT_TRUE(std::filesystem::is_symlink(tree.Path("link")));
    EXPECT_EQ(tree.Read("target"), "old");
    EXPECT_EQ(sink.Others(), (Lines{"noretry replace the file (link) cause 5 os 13 -> 2",
                                    "not changed link: Permission denied", "finished 0"}));
}

// Another program changes or replaces the file between its reading and its replacement: the
// file is read again, so that the other program's change stays and this one is made on it.
TEST(RewriteTest, ChangeMadeMeanwhileIsKeptAndTheReplacementMadeOnIt) {
    const struct {
        const char* name;
        Op when;
        std::function<void(const TempTree&)> change;
        std::string expected;
    } cases[] = {
        {"appended before the check", Op::Fsync,
         [](const TempTree& tree) { std::ofstream(tree.Path("a"), std::ios::app) << " old"; },
         "new new"},
        {"replaced before the check", Op::Fsync,
         [](const TempTree& tree) {
             tree.Write("theirs", "theirs old");
             ::rename(tree.Path("theirs").c_str(), tree.Path("a").c_str());
         },
         "theirs new"},
        {"replaced after the last check", Op::Rename,
         [](const TempTree& tree) {
             tree.Write("theirs", "theirs old");
             ::rename(tree.Path("theirs").c_str(), tree.Path("a").c_str());
         },
         "theirs new"},
        {"replaced without the text", Op::Fsync,
         [](const TempTree& tree) {
             tree.Write("theirs", "theirs");
             ::rename(tree.Path("theirs").c_str(), tree.Path("a").c_str());
         },
         "theirs"},
    };
    for (const auto& c : cases) {
        TempTree tree;
        tree.Write("a", "old");
        FaultySys sys;
        sys.Before(c.when, [&] { c.change(tree); });
        RecordingSink sink(tree.Root());
        RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
        EXPECT_EQ(tree.Read("a"), c.expected) << c.name;
        EXPECT_EQ(sink.Others(), Lines{"finished 0"}) << c.name;
        EXPECT_EQ(sink.Found(), c.expected == "theirs" ? Lines{} : Lines{"a"}) << c.name;
        EXPECT_EQ(tree.TemporaryFiles(), Lines{}) << c.name;
    }
    // Another program's file put at the temporary name never takes the file's place, nor is it
    // deleted: the file is rewritten from a new temporary file.
    {
        TempTree tree;
        tree.Write("a", "old");
        FaultySys sys;
        std::string foreign;
        sys.Before(Op::Rename, [&] {
            foreign = tree.TemporaryFiles().at(0);
            tree.Write("theirs", "theirs");
            ::rename(tree.Path("theirs").c_str(), tree.Path(foreign).c_str());
        });
        RecordingSink sink(tree.Root());
        RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
        EXPECT_EQ(tree.Read("a"), "new");
        EXPECT_EQ(tree.Read(foreign), "theirs");
        EXPECT_EQ(sink.Others(), Lines{"finished 0"});
    }
    // A file that other programs keep changing is given up after a few readings.
    TempTree tree;
    tree.Write("a", "old");
    FaultySys sys;
    std::function<void()> append = [&] {
        std::ofstream(tree.Path("a"), std::ios::app) << "+";
        sys.Before(Op::Fsync, append);
    };
    sys.Before(Op::Fsync, append);
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.Read("a"), "old+++");
    EXPECT_EQ(sink.Others(),
              (Lines{"noretry replace the file (a) cause 11 os -1 -> 2",
                     "not changed a: changed by another program meanwhile", "finished 0"}));
}

// Two runs rewrite the same file at once: the second waits for the first one's lock, reads the
// file again once the first has put its content in place, and adds its own change to it. Nor
// does it take the first one's temporary file for a file of the user's.
TEST(RewriteTest, TwoRunsAtOnceKeepBothChanges) {
    for (const std::string filter : {"a", "*"}) {
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
        EXPECT_EQ(tree.Read("a"), "FOO and BAR") << filter;
        EXPECT_EQ(tree.TemporaryFiles(), Lines{}) << filter;
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

// A stop while another program holds the file's lock ends the wait: the file stays as it was.
TEST(RewriteTest, StopWhileWaitingForTheLockLeavesTheFile) {
    TempTree tree;
    tree.Write("a", "old");
    const int held = ::open(tree.Path("a").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    RecordingSink sink(tree.Root());
    auto worker = std::make_unique<CSearchThread>(&sink, Request{tree.Root(), "*.*", "old", "new"});
    const SearchStopHandle stop = worker->GetStopHandle();
    std::thread thread = CSearchThread::Start(std::move(worker));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop.RequestStop();
    thread.join();
    ::close(held);
    EXPECT_EQ(tree.Read("a"), "old");
    EXPECT_EQ(sink.Found(), Lines{});
    EXPECT_EQ(sink.Others(), Lines{"finished 0"});
}

// New content that equals the old (every match already reads as its replacement) is not
// written: the file keeps its inode, its other names and its time stamps.
TEST(RewriteTest, ReplacementThatChangesNothingLeavesTheFileAsItIs) {
    TempTree tree;
    tree.Write("same", "abc ABC abc");
    ASSERT_EQ(::link(tree.Path("same").c_str(), tree.Path("other").c_str()), 0);
    struct stat before, after;
    ASSERT_EQ(::stat(tree.Path("same").c_str(), &before), 0);
    FaultySys sys;
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "same", "abc", "abc"}, sink, sys);
    Request ignoringCase{tree.Root(), "same", "ABC", "ABC"};
    ignoringCase.ignoreCase = true;
    RunSearch(ignoringCase, sink, sys);  // "abc" becomes "ABC" here
    ASSERT_EQ(::stat(tree.Path("same").c_str(), &after), 0);
    EXPECT_EQ(sink.Found(), (Lines{"same", "same"}));
    EXPECT_EQ(tree.Read("same"), "ABC ABC ABC");
    EXPECT_EQ(tree.Read("other"), "abc ABC abc");
    EXPECT_EQ(sys.Calls(Op::CreateTemp), 1);
}

// Extended attributes and access lists go with the content to the new file.
TEST(RewriteTest, ExtendedAttributesAndAccessListsAreKept) {
    TempTree tree;
    tree.Write("a", "old", 0640);
    const std::string path = tree.Path("a");
    if (::setxattr(path.c_str(), "user.origin", "kept", 4, 0) != 0) {
        GTEST_SKIP() << "no extended attributes here";
    }
    acl_t acl = acl_from_text("u::rw-,u:65534:r--,g::r--,m::r--,o::---");
    const bool listed = acl_set_file(path.c_str(), ACL_TYPE_ACCESS, acl) == 0;
    acl_free(acl);
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "*.*", "old", "new"}, sink);
    EXPECT_EQ(tree.Read("a"), "new");
    char value[16] = {};
    EXPECT_EQ(::getxattr(path.c_str(), "user.origin", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
    if (listed) {
        acl_t now = acl_get_file(path.c_str(), ACL_TYPE_ACCESS);
        char* text = acl_to_any_text(now, nullptr, ',', 0);
        EXPECT_STREQ(text, "user::rw-,user:nobody:r--,group::r--,mask::r--,other::---");
        acl_free(text);
        acl_free(now);
    }
}

// The folder is renamed while its file is being rewritten: the new content still takes the
// file's place in the folder, wherever it now is, and nothing is left behind.
TEST(RewriteTest, FolderRenamedMeanwhileKeepsNothingBehind) {
    TempTree tree;
    tree.Write("d/a", "old");
    FaultySys sys;
    sys.Before(Op::Fsync, [&] { ::rename(tree.Path("d").c_str(), tree.Path("e").c_str()); });
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.Read("e/a"), "new");
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    EXPECT_EQ(sink.Found(), Lines{"d/a"});
}

}  // namespace
}  // namespace pellumar
