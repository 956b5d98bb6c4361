// The in-file scan at its edges: short, huge and mapped files, texts of a megabyte, the window of
// a file that is only searched. Which matches are taken is in DifferentialTest.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "FileView.h"
#include "RecordingSink.h"
#include "UniqueFile.h"

namespace pellumar::test {
namespace {

TEST(ScanTest, LargeMappedFileIsRewrittenExactly) {
    // Larger than what is read into memory, so the file is mapped; the first match comes after
    // megabytes whose pages the scan gave back, matches straddle the temporary file's buffer,
    // and a partial match ends the file.
    std::string content(17 << 20, '-');
    std::string expected = content;
    for (int i = 0; content.size() <= 2 * FileView::kReadLimit + (17 << 20); ++i) {
        const std::string filler = "line " + std::to_string(i) + " of filler ";
        content += filler + "TARGET\n";
        expected += filler + "replacement-of-another-length\n";
    }
    TempTree tree;
    tree.Write("f", content + "TARG");
    const Heard sink(tree, {"", "*.*", "TARGET", "replacement-of-another-length"});
    EXPECT_TRUE(tree.Read("f") == expected + "TARG");
}

// Files shorter than the text are passed over, the empty one included, and a search writes
// nothing; a match on the very last byte; the information told of a file that grew is the
// file's as it is now; a search text of a megabyte and a replacement of ten.
TEST(ScanTest, HugeTextsAndTheEdgesOfAFile) {
    TempTree tree;
    for (const char* name : {"empty", "ab", "abc", "xabcx"}) {
        tree.Write(name, name == std::string("empty") ? "" : name);
    }
    tree.Write("last", std::string(5000, '.') + "Z");
    const Heard sink(tree, {"", "*.*", "abc", "ignored", true, true});
    EXPECT_EQ(Sorted(sink.Found()), (Lines{"abc", "xabcx"}));
    EXPECT_EQ(tree.Read("xabcx"), "xabcx");
    const Heard last(tree, {"", "*.*", "z", "W", true, false, true, true});
    EXPECT_EQ(tree.Read("last"), std::string(5000, '.') + "W");
    EXPECT_EQ(last.Found(), Lines{"last"});

    tree.Write("grows", "short");
    const Heard replacing(tree, {"", "grows", "short", "much longer now"});
    EXPECT_EQ(tree.Read("grows"), "much longer now");
    EXPECT_EQ(replacing.LastInfo().FileSize(), 15u);  // as the file is now, on the disk
    EXPECT_EQ(replacing.LastInfo().nNumberOfLinks, 1u);

    std::string search;
    for (int i = 0; search.size() < (1u << 20); ++i)
        search += std::to_string(i * 7919) + ",";
    const std::string replacement(10 << 20, 'R');
    tree.Write("huge", "x" + search + "y" + search);
    const Heard huge(tree, {"", "*.*", search, replacement});
    EXPECT_TRUE(tree.Read("huge") == "x" + replacement + "y" + replacement);
    EXPECT_EQ(huge.Found(), Lines{"huge"});
}

// A large file that is only searched is read through a window that slides along it: a match is
// found wherever it lies against the window's edges, in a file of a few windows as in one beyond
// the size that is read whole otherwise, a text longer than the window's least size too, and a
// text cut short by the end of the file is not a match.
TEST(ScanTest, LargeFileSearchedOnlyIsFoundAcrossTheEdgesOfItsWindow) {
    constexpr uint64_t head = FileView::kHead, limit = FileView::kReadLimit;
    constexpr uint64_t window = FileView::kWindow, size = limit + 3 * window;
    std::string needle = "needle-";
    const std::string huge = std::string(window + 5000, 'n') + "!";
    TempTree tree;
    for (const uint64_t length : {window * 2 + 3, size}) {
        const uint64_t places[] = {head - 3,   window - 3,           window + 1,     limit - 2,
                                   limit + 1,  window * 2 - 1,       window * 5 + 7, length - 7,
                                   length - 5, window * 3 - 4096 - 2};
        for (const uint64_t at : places) {
            if (at >= length) {
                continue;
            }
            SCOPED_TRACE(std::to_string(length) + " bytes, at " + std::to_string(at));
            std::string content(length, '-');
            content.replace(at, std::min<uint64_t>(7, length - at), needle.substr(0, length - at));
            tree.Write("f", content);
            const Heard sink(tree, {"", "*.*", needle, "", true, true});
            EXPECT_EQ(sink.Found(), at + 7 <= length ? Lines{"f"} : Lines{});
            if (at + 7 <= length) {
                EXPECT_EQ(sink.LastInfo().FileSize(), length);
            }
            const Heard ignoring(tree, {"", "*.*", "NEEDLE-", "", true, true, true, true});
            EXPECT_EQ(ignoring.Found(), sink.Found());
        }
    }
    std::string content(size, '-');
    content.replace(window * 3 + 11, huge.size(), huge);
    tree.Write("f", content);
    const Heard sink(tree, {"", "*.*", huge, "", true, true});
    EXPECT_EQ(sink.Found(), Lines{"f"});
    const Heard missing(tree, {"", "*.*", huge + "?", "", true, true});
    EXPECT_EQ(missing.Found(), Lines{});
}

// The view holds the file's bytes as they are wherever a slide starts its window, and however its
// buffer grows from one file to the next; and each byte stands where it stands in its cache line
// in the file, as the system copies out of its cache at a fraction of the speed otherwise.
TEST(ScanTest, TheViewHoldsTheFileAsItIsEachByteWhereItStandsInItsCacheLine) {
    TempTree tree;
    std::string content(FileView::kReadLimit + 3 * FileView::kWindow + 5, '\0');
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i * 7919 % 251);
    }
    const std::pair<const char*, size_t> files[] = {{"small", 1000},
                                                    {"head and a page", FileView::kHead + 4099},
                                                    {"large", content.size()},
                                                    {"small again", 1000}};
    for (const auto& [name, size] : files) {
        tree.Write(name, content.substr(0, size));
    }
    Sys sys;
    FileSystem fs(sys);
    std::vector<unsigned char> buffer;  // shared by the views, as a scanner shares it
    for (const auto& [name, size] : files) {
        SCOPED_TRACE(name);
        UniqueFile file(fs);
        const std::string path = tree.Path(name);
        ASSERT_EQ(fs.Open(nullptr, path.c_str(), path, *file.Receive()), 0);
        FileView view(fs, buffer);
        view.AllowWindow(7);
        const auto expectInView = [&view, &content](uint64_t at) {
            ASSERT_LE(view.Base(), at);
            ASSERT_LE(at, view.Available());
            EXPECT_EQ((reinterpret_cast<uintptr_t>(view.Data()) - view.Base()) % FileView::kAlign,
                      0u);
            EXPECT_EQ(std::memcmp(view.Data(), content.data() + view.Base(),
                                  static_cast<size_t>(view.Available() - view.Base())),
                      0);
        };
        ASSERT_EQ(view.OpenHead(file.Get()), 0);
        expectInView(0);
        if (!view.SizeKnown()) {
            ASSERT_EQ(view.SetSize(size), 0);
        }
        for (uint64_t at = 1; at < size; at += std::min<uint64_t>(at * 2 + 5, 300007)) {
            ASSERT_EQ(view.Require(at, at - std::min<uint64_t>(at, 5)), 0);
            expectInView(at);
        }
        ASSERT_EQ(view.Require(size, size - 1), 0);
        expectInView(size);
    }
}

TEST(ScanTest, FilesOfFourGigabytesAndMoreAreScannedWhole) {
    TempTree tree(TempTree::MemoryFolder());
    tree.Write("huge", "");
    const uint64_t size = (uint64_t{4} << 30) + 4096;
    const std::string needle = "the-needle-is-beyond-four-gigabytes-" + std::string(60, '!');
    std::filesystem::resize_file(tree.Path("huge"), size - needle.size());  // sparse
    { std::ofstream(tree.Path("huge"), std::ios::app) << needle; }
    const Heard sink(tree, {"", "*.*", needle, "", true, true});
    EXPECT_EQ(sink.Found(), Lines{"huge"});
    EXPECT_EQ(sink.LastInfo().FileSize(), size);
}

}  // namespace
}  // namespace pellumar::test
