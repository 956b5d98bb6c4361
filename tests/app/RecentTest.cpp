// The recent folders and filters: how entries are compared and ordered, and how a list is read
// from and written to its section of the store.
#include <filesystem>

#include "AppDoubles.h"
#include "CRecentCombo.h"
#include "MemorySettingsStore.h"
#include "PathText.h"

namespace pellumar {
namespace {

using Lines = std::vector<std::string>;

TEST(RecentTest, FullPathsAreWorkedOutFromTheTextAloneAndCompareIgnoringCaseOnly) {
    const std::string cwd = "/home/ann/work";
    EXPECT_EQ(FullPathName("./src/../lib/.", cwd), "/home/ann/work/lib");
    EXPECT_EQ(FullPathName("../../../../..", cwd), "/");
    EXPECT_EQ(FullPathName("//data//x/", cwd), "/data/x/");
    EXPECT_EQ(FullPathName("", cwd), std::nullopt);
    EXPECT_EQ(FullPathName("src", ""), std::nullopt);
    EXPECT_EQ(FullPathName("/" + std::string(258, 'a'), cwd)->size(), 259u);
    EXPECT_EQ(FullPathName("/" + std::string(259, 'a'), cwd), std::nullopt);
    // Without an absolute form the text itself is compared, cut at a whole character.
    EXPECT_EQ(PathComparand("/" + std::string(300, 'a'), cwd).size(), 259u);
    EXPECT_EQ(PathComparand(std::string(258, 'a') + "é", "").size(), 258u);
    EXPECT_TRUE(IsSamePath("/Übung/ΣΟΦΙΑ", "/übung/σοφια"));
    EXPECT_TRUE(IsSamePath("\xff/ABC", "\xff/abc"));  // not UTF-8: ASCII letters fold
    EXPECT_FALSE(IsSamePath("\xff/\xc9", "\xff/\xe9"));
    EXPECT_FALSE(IsSamePath("/data/", "/data"));
}

Lines Slots(const CRecentEntryList& list) {
    Lines names;
    for (int i = 0; i < list.GetSize(); ++i)
        names.push_back(list[i]);
    return names;
}

// An added entry goes to the top and pushes the others down, the last out; one already there
// moves up from its slot. Filters compare ignoring case; folders by their path against the
// current folder, letter case and trailing slash telling two apart.
TEST(RecentTest, AnAddedEntryGoesToTheTopAndPushesTheOthersDown) {
    CRecentEntryList list("S", "k%d", 10);
    for (int i = 10; i >= 1; --i)
        list.AddEntry("e" + std::to_string(i), false);
    list.AddEntry("E5", false);
    EXPECT_EQ(Slots(list), Lines({"E5", "e1", "e2", "e3", "e4", "e6", "e7", "e8", "e9", "e10"}));
    list.AddEntry("new", false);
    list.AddEntry("E9", false);  // the last slot: it leaves as the last
    EXPECT_EQ(Slots(list), Lines({"E9", "new", "E5", "e1", "e2", "e3", "e4", "e6", "e7", "e8"}));
    EXPECT_EQ(list.KeyFor(0), "k1");
    EXPECT_EQ(CRecentEntryList("S", "%s-%d-%n", 1).KeyFor(9), "%s-10-%n");

    const auto previous = std::filesystem::current_path();
    const auto here = std::filesystem::temp_directory_path();
    std::filesystem::current_path(here);
    CRecentEntryList folders("Look In Folders MRU", "dir%d", 10);
    for (const std::string& folder :
         {(here / "sub").string(), std::string("/data"), std::string("./sub/"),
          std::string("./sub"), std::string("/data/"), std::string("/x/Case"),
          std::string("/x/case")})
        folders.AddEntry(folder, true);
    std::filesystem::current_path(previous);
    EXPECT_EQ(Slots(folders),
              Lines({"/x/case", "/x/Case", "/data/", "./sub", "./sub/", "/data", "", "", "", ""}));
}

void StoreGapped(MemorySettingsStore& store) {
    store.WriteProfileString("Filters MRU", "filter1", "*.c");
    store.WriteProfileString("Filters MRU", "filter2", "");
    store.WriteProfileString("Filters MRU", "filter3", "*.h");
    store.WriteProfileString("Filters MRU", "filter11", "*.old");
    store.ClearLog();
}

void SetUpFilters(RecentComboModel& model) {
    model.SetSection("Filters MRU");
    model.SetEntryFormat("filter%d");
    model.SetMaxEntries(10);
    model.SetRefillOnAdd(true);
    model.SetSaveOnAdd(true);
    model.SetSaveOnDestroy(true);
}

// The slots are read with their gaps; an entry added refills the box first, then rewrites the
// section, each entry under its own number; the combo box keeps what the user typed.
TEST(RecentTest, SlotsAreReadWithTheirGapsAndWrittenUnderTheirOwnNumbers) {
    MemorySettingsStore store;
    StoreGapped(store);
    CRecentCombo combo(store);
    RecentComboModel& model = combo.Model();
    SetUpFilters(model);
    ASSERT_TRUE(model.LoadEntries());
    EXPECT_EQ(model.Entries(), Lines({"*.c", "*.h"}));
    EXPECT_TRUE(store.Log().empty());
    combo.RefillDropDown();
    EXPECT_EQ(combo.count(), 2);
    combo.setEditText("*.cpp typed");
    Lines seenAtRefill;
    model.SetRefill([&] {
        seenAtRefill = store.Section("Filters MRU");
        combo.RefillDropDown();
    });
    combo.AddEntry("Grüße*.txt", false);
    EXPECT_EQ(seenAtRefill, Lines({"filter1=*.c", "filter11=*.old", "filter2=", "filter3=*.h"}));
    EXPECT_EQ(store.Log(),
              Lines({"delete Filters MRU", "string Filters MRU/filter1=Grüße*.txt",
                     "string Filters MRU/filter2=*.c", "string Filters MRU/filter4=*.h"}));
    EXPECT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.itemText(0), "Grüße*.txt");
    EXPECT_EQ(combo.currentText(), "*.cpp typed");
    combo.AddEntry("*.C", false);  // the same filter
    EXPECT_EQ(model.Entries(), Lines({"*.C", "Grüße*.txt", "*.h"}));
}

TEST(RecentTest, TheConfigurationDecidesWhetherAndWhereTheListGoes) {
    MemorySettingsStore store;
    {
        RecentComboModel model(store);
        EXPECT_FALSE(model.LoadEntries());
        EXPECT_FALSE(model.AddEntry("x", false));
        model.SetSection("One");
        model.SetEntryFormat("no number");  // ignored
        EXPECT_FALSE(model.IsConfigured());
        model.SetEntryFormat("k%d");
        EXPECT_EQ(model.SetMaxEntries(0), -1);
        EXPECT_EQ(model.SetMaxEntries(3), 0);
        EXPECT_TRUE(model.AddEntry("a", false));
        EXPECT_TRUE(model.AddEntry("b", false));
        EXPECT_TRUE(store.Log().empty());  // saving on add is off by default
        EXPECT_EQ(model.SetMaxEntries(1), 3);
        EXPECT_EQ(model.Entries(), Lines({"b"}));
        model.SetSection("Two");  // the list follows to the new section when it is written
    }
    EXPECT_EQ(store.Log(), Lines({"delete Two", "string Two/k1=b"}));
    store.ClearLog();
    {
        RecentComboModel model(store);
        SetUpFilters(model);
        model.SetSaveOnAdd(false);
        EXPECT_TRUE(model.SetSaveOnDestroy(false));
        model.AddEntry("*.c", false);
        MemorySettingsStore none;
        CRecentCombo empty(none);
        SetUpFilters(empty.Model());
        empty.Model().LoadEntries();
        empty.RefillDropDown();
        EXPECT_EQ(empty.count(), 0);
        EXPECT_EQ(empty.currentText(), "");
    }
    EXPECT_TRUE(store.Log().empty());
}

}  // namespace
}  // namespace pellumar
