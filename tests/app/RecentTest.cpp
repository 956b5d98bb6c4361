// The recent folders and filters: how entries are compared and ordered, and how a list is read
// from and written to its section of the store.
#include <filesystem>

#include "AppDoubles.h"
#include "CRecentCombo.h"
#include "MemorySettingsStore.h"
#include "PathText.h"

namespace pellumar {

using Lines = std::vector<std::string>;

static Lines Slots(const CRecentEntryList& list) {
    Lines names;
    for (int i = 0; i < list.GetSize(); ++i)
        names.push_back(list[i]);
    return names;
}

// An added entry goes to the top and pushes the others down, the last out; one already there
// moves up from its slot. Folders compare by their path against the current folder, letter case
// and a trailing slash telling two apart: a full path is worked out from the text alone and is
// too long past 259 bytes; without one the text itself is compared, cut at a whole character.
// Paths compare ignoring letter case only.
TEST(RecentTest, AnAddedEntryGoesToTheTopAndPushesTheOthersDown) {
    const std::string cwd = "/home/ann/work";
    EXPECT_EQ(FullPathName("./src/../lib/.", cwd), "/home/ann/work/lib");
    EXPECT_EQ(FullPathName("//data//x/", cwd), "/data/x/");
    EXPECT_EQ(FullPathName("", cwd), std::nullopt);
    EXPECT_EQ(FullPathName("/" + std::string(258, 'a'), cwd)->size(), 259u);
    EXPECT_EQ(FullPathName("/" + std::string(259, 'a'), cwd), std::nullopt);
    EXPECT_EQ(PathComparand("/" + std::string(300, 'a'), cwd).size(), 259u);
    EXPECT_EQ(PathComparand(std::string(258, 'a') + "é", "").size(), 258u);
    EXPECT_TRUE(IsSamePath("/Übung/ΣΟΦΙΑ", "/übung/σοφια"));
    EXPECT_TRUE(IsSamePath("\xff/ABC", "\xff/abc"));  // not UTF-8: ASCII letters fold
    EXPECT_FALSE(IsSamePath("\xff/\xc9", "\xff/\xe9"));
    CRecentEntryList list("S", "%s-%d-%n", 10);
    for (const char* entry :
         {"e7", "e6", "e5", "e4", "e3", "e2", "e1", "E5", "new", "n2", "n3", "n4", "E4"})
        list.AddEntry(entry, false);
    EXPECT_EQ(Slots(list), Lines({"E4", "n4", "n3", "n2", "new", "E5", "e1", "e2", "e3", "e6"}));
    EXPECT_EQ(list.KeyFor(9), "%s-10-%n");

    const auto previous = std::filesystem::current_path();
    const auto here = std::filesystem::temp_directory_path();
    std::filesystem::current_path(here);
    CRecentEntryList folders("Look In Folders MRU", "dir%d", 10);
    folders.AddEntry((here / "sub").string(), true);
    for (const char* folder : {"/data", "./sub/", "./sub", "/data/", "/x/Case", "/x/case"})
        folders.AddEntry(folder, true);
    std::filesystem::current_path(previous);
    EXPECT_EQ(Slots(folders),
              Lines({"/x/case", "/x/Case", "/data/", "./sub", "./sub/", "/data", "", "", "", ""}));
}

// The slots are read with their gaps; an entry added refills the box and rewrites the section,
// each entry under its own number; the box keeps what the user typed. The list is
// configured as the window configures its two, once and for good: no other configuration is
// tested, as none is made.
TEST(RecentTest, SlotsAreReadWithTheirGapsAndWrittenUnderTheirOwnNumbers) {
    MemorySettingsStore store;
    for (const auto& [key, value] :
         {std::pair{"filter1", "*.c"}, {"filter2", ""}, {"filter3", "*.h"}, {"filter11", "*.old"}})
        store.WriteProfileString("Filters MRU", key, value);
    store.ClearLog();
    CRecentCombo combo(store);
    RecentComboModel& model = combo.Model();
    model.SetSection("Filters MRU");
    model.SetEntryFormat("filter%d");
    model.SetMaxEntries(10);
    model.SetRefillOnAdd(true);
    model.SetSaveOnAdd(true);
    ASSERT_TRUE(model.LoadEntries());
    EXPECT_EQ(model.Entries(), Lines({"*.c", "*.h"}));
    EXPECT_TRUE(store.Log().empty());
    combo.setEditText("*.cpp typed");
    combo.AddEntry("Grüße*.txt", false);
    EXPECT_EQ(store.Log(),
              Lines({"delete Filters MRU", "string Filters MRU/filter1=Grüße*.txt",
                     "string Filters MRU/filter2=*.c", "string Filters MRU/filter4=*.h"}));
    EXPECT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.itemText(0) + " " + combo.currentText(), "Grüße*.txt *.cpp typed");
}

}  // namespace pellumar
