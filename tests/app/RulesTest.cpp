// What the window decides apart from any widget, on plain values.
#include "AppDoubles.h"
#include "DialogLayout.h"
#include "RunSummary.h"
#include "WindowRules.h"

namespace pellumar {

// Dialog units become pixels rounded to the nearest; default column widths grow with the font's
// characters, to the nearest pixel, but never below what their texts need; a window larger than
// the screen's free area goes at its top left corner; help is the text beside the executable, of
// its name with the extension "TXT". The line that ends a run says what it found or changed, how
// many it left or could not read, and where it stopped, counts and names as people read them;
// the window's runs tell the rest.
TEST(RulesTest, PlainRulesOfTheWindow) {
    const PixelRect start = ToPixels(239, 7, 50, 14, {7, 16});
    EXPECT_EQ(std::tuple(start.x, start.y, start.width, start.height), std::tuple(418, 14, 88, 28));
    EXPECT_EQ(DefaultColumnWidth(160, 7, 0), 187);
    EXPECT_EQ(DefaultColumnWidth(42, 7, 60), 60);
    const Spot spot = CentredSpot(0, 24, 640, 488, 900, 900);
    EXPECT_EQ(std::pair(spot.x, spot.y), std::pair(0, 24));
    // A window beside the main one: right of it, else left of it, else where it is.
    Spot beside{};
    ASSERT_TRUE(BesideSpot(0, 1920, 100, 200, 520, 700, beside));
    EXPECT_EQ(std::pair(beside.x, beside.y), std::pair(620, 200));
    ASSERT_TRUE(BesideSpot(0, 1280, 760, 200, 520, 700, beside));
    EXPECT_EQ(std::pair(beside.x, beside.y), std::pair(60, 200));
    EXPECT_FALSE(BesideSpot(0, 1280, 600, 200, 520, 700, beside));
    EXPECT_EQ(HelpFilePath("/opt/v1.2/Search"), "/opt/v1.2/Search.TXT");
    EXPECT_EQ(HelpFilePath("/opt/ps/Search.exe"), "/opt/ps/Search.TXT");

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
    EXPECT_EQ(VisibleText(std::string("a\tb\x7f\0", 5)), "a\u2409b\u2421\u2400");
}

}  // namespace pellumar
