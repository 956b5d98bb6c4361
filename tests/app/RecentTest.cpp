#include <gtest/gtest.h>

#include <filesystem>

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
    // The same path ignores letter case only.
    EXPECT_TRUE(IsSamePath("/Übung/ΣΟΦΙΑ", "/übung/σοφια"));
    EXPECT_TRUE(IsSamePath("\xff/ABC", "\xff/abc"));  // not UTF-8: ASCII letters fold
    EXPECT_FALSE(IsSamePath("\xff/\xc9", "\xff/\xe9"));
    EXPECT_FALSE(IsSamePath("/data/", "/data"));
}

// A list holding "e1" (most recent) to "e<count>".
CRecentEntryList Filled(int count) {
    CRecentEntryList list("S", "k%d", 10);
    for (int i = count; i >= 1; --i)
        list.AddEntry("e" + std::to_string(i), false);
    return list;
}

Lines Slots(const CRecentEntryList& list) {
    Lines names;
    for (int i = 0; i < list.GetSize(); ++i)
        names.push_back(list[i]);
    return names;
}

TEST(RecentTest, AnAddedEntryGoesToTheTopAndPushesTheOthersDown) {
    CRecentEntryList list = Filled(10);
    list.AddEntry("E5", false);
    EXPECT_EQ(Slots(list), Lines({"E5", "e1", "e2", "e3", "e4", "e6", "e7", "e8", "e9", "e10"}));
    list.AddEntry("new", false);
    EXPECT_EQ(list[9], "e9");  // the tenth, e10, dropped out
    // The last slot is never compared, yet the text is left once: it leaves as the last.
    list.AddEntry("E9", false);
    EXPECT_EQ(Slots(list), Lines({"E9", "new", "E5", "e1", "e2", "e3", "e4", "e6", "e7", "e8"}));
    CRecentEntryList filters("Filters MRU", "filter%d", 10);
    filters.AddEntry("*.txt", false);
    filters.AddEntry("*.TXT", false);
    EXPECT_EQ(Slots(filters)[0], "*.TXT");
    EXPECT_EQ(Slots(filters)[1], "");
    EXPECT_EQ(filters.KeyFor(0), "filter1");
    EXPECT_EQ(CRecentEntryList("S", "%s-%d-%n", 1).KeyFor(9), "%s-10-%n");
}

TEST(RecentTest, FoldersAreComparedByTheirPathAgainstTheCurrentFolder) {
    const auto previous = std::filesystem::current_path();
    const auto here = std::filesystem::temp_directory_path();
    std::filesystem::current_path(here);
    CRecentEntryList folders("Look In Folders MRU", "dir%d", 10);
    folders.AddEntry((here / "sub").string(), true);
    folders.AddEntry("/data", true);
    folders.AddEntry("./sub/", true);  // kept apart by its trailing slash
    folders.AddEntry("./sub", true);   // the same folder as the first, written differently
    folders.AddEntry("/data/", true);  // the same text as "./sub/" would not be: it is absolute
    // Here a folder's name differs in its letters' case from another's: two folders.
    folders.AddEntry("/x/Case", true);
    folders.AddEntry("/x/case", true);
    std::filesystem::current_path(previous);
    EXPECT_EQ(Slots(folders),
              Lines({"/x/case", "/x/Case", "/data/", "./sub", "./sub/", "/data", "", "", "", ""}));
}

const Lines kGappedStore = {"filter1=*.c", "filter11=*.old", "filter2=", "filter3=*.h"};

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

TEST(RecentTest, SlotsAreReadWithTheirGapsAndWrittenUnderTheirOwnNumbers) {
    MemorySettingsStore store;
    StoreGapped(store);
    RecentComboModel model(store);
    SetUpFilters(model);
    ASSERT_TRUE(model.LoadEntries());
    EXPECT_EQ(model.Entries(), Lines({"*.c", "*.h"}));
    EXPECT_TRUE(store.Log().empty());
    Lines seenAtRefill;
    model.SetRefill([&] { seenAtRefill = store.Section("Filters MRU"); });
    model.AddEntry("*.txt", false);
    EXPECT_EQ(seenAtRefill, kGappedStore);  // the box is refilled before the section is written
    EXPECT_EQ(store.Log(),
              Lines({"delete Filters MRU", "string Filters MRU/filter1=*.txt",
                     "string Filters MRU/filter2=*.c", "string Filters MRU/filter4=*.h"}));
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
    }
    EXPECT_TRUE(store.Log().empty());
}

TEST(RecentTest, TheComboBoxShowsTheEntriesAndKeepsWhatTheUserTyped) {
    MemorySettingsStore store;
    StoreGapped(store);
    CRecentCombo combo(store);
    SetUpFilters(combo.Model());
    combo.Model().LoadEntries();
    combo.RefillDropDown();
    ASSERT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.itemText(1), "*.h");
    combo.setEditText("*.cpp typed");
    combo.AddEntry("Grüße*.txt", false);
    EXPECT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.itemText(0), "Grüße*.txt");
    EXPECT_EQ(combo.currentText(), "*.cpp typed");
    EXPECT_EQ(store.GetProfileString("Filters MRU", "filter1", ""), "Grüße*.txt");
    MemorySettingsStore empty;
    CRecentCombo first(empty);
    SetUpFilters(first.Model());
    first.Model().LoadEntries();
    first.RefillDropDown();
    EXPECT_EQ(first.count(), 0);
    EXPECT_EQ(first.currentText(), "");
}

}  // namespace
}  // namespace pellumar
