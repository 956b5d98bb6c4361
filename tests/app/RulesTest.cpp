// What the window decides apart from any widget, on plain values.
#include "AppDoubles.h"
#include "DialogLayout.h"
#include "RunSummary.h"
#include "SearchFlow.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

TEST(RulesTest, DialogUnitsBecomePixelsFromTheFontsBaseUnitsRoundedToTheNearest) {
    const PixelRect start = ToPixels(239, 7, 50, 14, {7, 16});
    EXPECT_EQ(start.x, 418);
    EXPECT_EQ(start.y, 14);
    EXPECT_EQ(start.width, 88);
    EXPECT_EQ(start.height, 28);
}

// Help opens the text beside the executable, named with the extension "TXT".
TEST(RulesTest, TheHelpIsTheTextBesideTheExecutable) {
    EXPECT_EQ(HelpFilePath("/opt/ps/PellumarSearch"), "/opt/ps/PellumarSearch.TXT");
    EXPECT_EQ(HelpFilePath("/opt/v1.2/Search"), "/opt/v1.2/Search.TXT");
    EXPECT_EQ(HelpFilePath("/opt/ps/Search.exe"), "/opt/ps/Search.TXT");
}

// The line that ends a run: what it found, listed or changed, how many it left or could not
// read, and where it stopped; counts as people read them.
TEST(RulesTest, TheEndOfARunIsToldInOneLine) {
    using Kind = RunSummary::Kind;
    const auto told = [](Kind kind, int listed, int left, int unread, bool stopped,
                         uint64_t lookedAt = 1204) {
        RunSummary summary;
        summary.Begin(kind);
        for (int i = 0; i < listed; ++i)
            summary.Listed();
        for (int i = 0; i < left; ++i)
            summary.LeftAsItWas();
        for (int i = 0; i < unread; ++i)
            summary.NotRead();
        if (stopped)
            summary.Stopped();
        return summary.EndText(lookedAt);
    };
    EXPECT_EQ(told(Kind::Search, 312, 0, 0, false), "Found in 312 files");
    EXPECT_EQ(told(Kind::Search, 1, 0, 0, false), "Found in 1 file");
    EXPECT_EQ(told(Kind::Search, 0, 0, 2, false), "Found in 0 files; 2 could not be read");
    EXPECT_EQ(told(Kind::List, 1500, 0, 0, false), "Listed 1,500 files");
    EXPECT_EQ(told(Kind::Replace, 310, 2, 0, false), "Changed 310 files; 2 left as they were");
    EXPECT_EQ(told(Kind::Replace, 97, 0, 0, true), "Stopped after 1,204 files: changed 97");
    EXPECT_EQ(told(Kind::Search, 3, 1, 0, true, 1),
              "Stopped after 1 file: found in 3; 1 left as it was");
    EXPECT_EQ(RunSummary::ProgressText(0, "/home/u"), "Looked at 0 files, now in /home/u");
    EXPECT_EQ(RunSummary::ProgressText(1, ""), "Looked at 1 file");
    EXPECT_EQ(RunSummary::ProgressText(2, "/a\nb"), "Looked at 2 files, now in /a\u240ab");
    RunSummary unentered;
    unentered.Begin(Kind::Replace);
    unentered.FolderNotEntered();
    EXPECT_EQ(unentered.EndText(0), "The folder could not be entered");
    EXPECT_EQ(CountText(999), "999");
    EXPECT_EQ(CountText(1000), "1,000");
    EXPECT_EQ(CountText(1234567890123ull), "1,234,567,890,123");
}

// A name with a line feed cannot pass for another line of the question; no control character
// shows as itself.
TEST(RulesTest, TheConfirmationShowsEveryNameOnItsOwnLine) {
    RunScope scope{"/srv/x\nIncluding hidden files", "*.c", false, false, false, false, true};
    EXPECT_EQ(RunConfirmationText("a", "b", scope),
              "Are you sure you want to replace all occurences of 'a' with 'b'?\n\nIn the folder: "
              "/srv/x\u240aIncluding hidden files\nFiles named: *.c");
    EXPECT_EQ(VisibleText(std::string("a\tb\x7f\0", 5)), "a\u2409b\u2421\u2400");
}

// Default column widths grow with the font's characters, to the nearest pixel, but never below
// what their texts need; a window goes in the middle of the screen's free area, and where it is
// larger, at its top left corner.
TEST(RulesTest, ColumnsFollowTheFontAndTheWindowOpensOnTheScreen) {
    EXPECT_EQ(DefaultColumnWidth(42, kDescribedCharWidth, 0), 42);
    EXPECT_EQ(DefaultColumnWidth(42, 9, 0), 63);
    EXPECT_EQ(DefaultColumnWidth(160, 7, 0), 187);
    EXPECT_EQ(DefaultColumnWidth(42, 7, 60), 60);
    EXPECT_EQ(CentredSpot(0, 0, 1280, 1024, 480, 424).x, 400);
    EXPECT_EQ(CentredSpot(0, 0, 1280, 1024, 480, 424).y, 300);
    EXPECT_EQ(CentredSpot(0, 24, 640, 488, 900, 900).x, 0);
    EXPECT_EQ(CentredSpot(0, 24, 640, 488, 900, 900).y, 24);
    EXPECT_EQ(CentredSpot(1280, 0, 1920, 1080, 1920, 1000).x, 1280);
}

}  // namespace
}  // namespace pellumar
