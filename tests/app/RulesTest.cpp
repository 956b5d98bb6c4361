// What the window decides apart from any widget, on plain values.
#include "AppDoubles.h"
#include "DialogLayout.h"
#include "RunSummary.h"
#include "SearchFlow.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

// Dialog units become pixels rounded to the nearest; help is the text beside the executable, of
// its name with the extension "TXT".
TEST(RulesTest, DialogUnitsAndTheHelpFile) {
    const PixelRect start = ToPixels(239, 7, 50, 14, {7, 16});
    EXPECT_EQ(std::tuple(start.x, start.y, start.width, start.height), std::tuple(418, 14, 88, 28));
    EXPECT_EQ(HelpFilePath("/opt/v1.2/Search"), "/opt/v1.2/Search.TXT");
    EXPECT_EQ(HelpFilePath("/opt/ps/Search.exe"), "/opt/ps/Search.TXT");
}

// The line that ends a run: what it found, listed or changed, how many it left or could not
// read, and where it stopped; counts as people read them. The window's runs tell the rest.
TEST(RulesTest, TheEndOfARunIsToldInOneLine) {
    RunSummary summary;
    summary.Begin(RunSummary::Kind::Search);
    summary.NotRead();
    summary.NotRead();
    EXPECT_EQ(summary.EndText(3), "Found in 0 files; 2 could not be read");
    summary.Begin(RunSummary::Kind::Replace);
    for (int i = 0; i < 97; ++i)
        summary.Listed();
    summary.LeftAsItWas();
    summary.LeftAsItWas();
    EXPECT_EQ(summary.EndText(1204), "Changed 97 files; 2 left as they were");
    summary.Stopped();
    EXPECT_EQ(summary.EndText(1204), "Stopped after 1,204 files: changed 97; 2 left as they were");
    summary.FolderNotEntered();
    EXPECT_EQ(summary.EndText(0), "The folder could not be entered");
    EXPECT_EQ(RunSummary::ProgressText(1, ""), "Looked at 1 file");
    EXPECT_EQ(RunSummary::ProgressText(2, "/a\nb"), "Looked at 2 files, now in /a\u240ab");
    EXPECT_EQ(CountText(999) + " " + CountText(1234567890123ull), "999 1,234,567,890,123");
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
    const auto spot = [](int x, int y, int width, int height, int frameWidth, int frameHeight) {
        const Spot at = CentredSpot(x, y, width, height, frameWidth, frameHeight);
        return std::pair(at.x, at.y);
    };
    EXPECT_EQ(spot(0, 0, 1280, 1024, 480, 424), std::pair(400, 300));
    EXPECT_EQ(spot(0, 24, 640, 488, 900, 900), std::pair(0, 24));
    EXPECT_EQ(spot(1280, 0, 1920, 1080, 1920, 1000), std::pair(1280, 40));
}

}  // namespace
}  // namespace pellumar
