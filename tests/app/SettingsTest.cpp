#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <cstdlib>

#include "MemorySettingsStore.h"
#include "QtSettingsStore.h"
#include "RecentComboModel.h"
#include "SearchOptions.h"

namespace pellumar {
namespace {

using Lines = std::vector<std::string>;

// The fourteen options in the order they are written, with their first-run values.
const Lines kFirstRunWrites = [] {
    Lines writes;
    for (const char* option :
         {"Include Subdirs=1", "Search Only=0", "Search Confirmation=1", "Hidden Files=1",
          "Want Tab=0", "Column One=120", "Column Two=160", "Column Three=42", "Column Four=90",
          "Column Five=120", "Ignore Case=1", "Double-Click Action=1", "Keep Undo Copies=1"})
        writes.push_back(std::string("int Options/") + option);
    writes.push_back("string Options/File Viewer=xdg-open");
    return writes;
}();

TEST(SettingsTest, FirstRunGivesTheDefaultsAndTheEndWritesAllFourteenInOrder) {
    MemorySettingsStore store;
    {
        SearchOptions options(store);
        EXPECT_EQ(options.m_nColumnThree, 42);
        EXPECT_EQ(options.m_strFileViewer, "xdg-open");
        EXPECT_TRUE(store.Log().empty());
    }
    EXPECT_EQ(store.Log(), kFirstRunWrites);
    // A second run reads back what the first wrote, and writes the same again.
    store.ClearLog();
    { SearchOptions options(store); }
    EXPECT_EQ(store.Log(), kFirstRunWrites);
}

TEST(SettingsTest, StoredValuesAreUsedAsTheyAreAndChangesWaitForTheEnd) {
    MemorySettingsStore store;
    store.WriteProfileInt("Options", "Ignore Case", 5);
    store.WriteProfileInt("Options", "Double-Click Action", -3);
    store.WriteProfileString("Options", "Column One", "wide");  // not an integer
    store.WriteProfileString("Options", "File Viewer", "");
    {
        SearchOptions options(store);
        EXPECT_EQ(options.m_bIgnoreCase, 5);
        EXPECT_EQ(options.m_nDoubleClickAction, -3);
        EXPECT_EQ(options.m_nColumnOne, 120);
        EXPECT_EQ(options.m_strFileViewer, "");
        options.m_bIgnoreCase = 0;
        // Until the options are destroyed the store keeps the old value, so a process that
        // is killed now starts with it again.
        EXPECT_EQ(store.GetProfileInt("Options", "Ignore Case", 1), 5);
    }
    EXPECT_EQ(store.GetProfileInt("Options", "Ignore Case", 1), 0);
    EXPECT_EQ(store.GetProfileInt("Options", "Column One", 0), 120);
}

// A store of its own under the test run's XDG_CONFIG_HOME, starting empty.
std::unique_ptr<QtSettingsStore> FreshStore(const QString& application) {
    auto store = std::make_unique<QtSettingsStore>("KVT", application);
    QFile::remove(store->Location());
    return std::make_unique<QtSettingsStore>("KVT", application);
}

TEST(SettingsTest, TheDesktopStoreWritesTheThreeSectionsToTheConfigurationFile) {
    auto store = FreshStore("PellumarSearch");
    const QString expected =
        QString::fromUtf8(std::getenv("XDG_CONFIG_HOME")) + "/KVT/PellumarSearch.conf";
    ASSERT_EQ(store->Location(), expected);
    {
        SearchOptions options(*store);
        RecentComboModel folders(*store);
        RecentComboModel filters(*store);
        folders.SetSection("Look In Folders MRU");
        folders.SetEntryFormat("dir%d");
        filters.SetSection("Filters MRU");
        filters.SetEntryFormat("filter%d");
        folders.AddEntry("/srv/data", true);
        filters.AddEntry("*.txt", false);
        filters.AddEntry("*.c", false);
    }
    QSettings file(expected, QSettings::IniFormat);
    EXPECT_EQ(file.childGroups(), QStringList({"Filters MRU", "Look In Folders MRU", "Options"}));
    EXPECT_EQ(file.value("Options/Ignore Case").toInt(), 1);
    EXPECT_EQ(file.value("Options/File Viewer").toString(), "xdg-open");
    EXPECT_EQ(file.value("Look In Folders MRU/dir1").toString(), "/srv/data");
    EXPECT_EQ(file.value("Filters MRU/filter1").toString(), "*.c");
    EXPECT_EQ(file.value("Filters MRU/filter2").toString(), "*.txt");
    file.beginGroup("Options");
    EXPECT_EQ(file.childKeys().size(), 14);
}

TEST(SettingsTest, TheDesktopStoreKeepsAwkwardTextsRefusesNonIntegersAndDeletesOnlyWhatItIsTold) {
    const std::vector<std::string> texts = {
        "a, b",       " leading and trailing ", "@Variant(x)", "semi;colon #hash",
        "quote\"s",   "back\\slash=equals",     "Grüße/日本",  "",
        "line\nbreak"};
    {
        auto store = FreshStore("Awkward");
        for (std::size_t i = 0; i < texts.size(); ++i)
            store->WriteProfileString("S", ("t" + std::to_string(i)).c_str(), texts[i].c_str());
        store->WriteProfileString("N", "big", "99999999999");
        store->WriteProfileString("N", "word", "twelve");
        store->WriteProfileInt("N", "negative", -5);
    }
    QtSettingsStore reread("KVT", "Awkward");  // reads the file, not what the writer cached
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(reread.GetProfileString("S", "t" + std::to_string(i), "missing"), texts[i]);
    EXPECT_EQ(reread.GetProfileInt("N", "big", 7), 7);
    EXPECT_EQ(reread.GetProfileInt("N", "word", 7), 7);
    EXPECT_EQ(reread.GetProfileInt("N", "negative", 7), -5);
    EXPECT_EQ(reread.GetProfileInt("Nowhere", "x", 7), 7);
    // Deleting a key or a section leaves the rest.
    auto store = FreshStore("Deleting");
    store->WriteProfileString("A", "one", "1");
    store->WriteProfileString("A", "two", "2");
    store->WriteProfileString("B", "one", "1");
    store->WriteProfileString("A", "one", nullptr);
    EXPECT_EQ(store->GetProfileString("A", "one", "gone"), "gone");
    EXPECT_EQ(store->GetProfileString("A", "two", "gone"), "2");
    store->WriteProfileString("A", nullptr, nullptr);
    QtSettingsStore rereadDeleted("KVT", "Deleting");
    EXPECT_EQ(rereadDeleted.GetProfileString("A", "two", "gone"), "gone");
    EXPECT_EQ(rereadDeleted.GetProfileString("B", "one", "gone"), "1");
}

TEST(SettingsTest, EachExecutableNameKeepsItsOwnSettings) {
    EXPECT_EQ(QtSettingsStore::ApplicationNameFor("/usr/bin/PellumarSearch"), "PellumarSearch");
    EXPECT_EQ(QtSettingsStore::ApplicationNameFor("C:/Tools/PellumarSearch.exe"), "PellumarSearch");
    EXPECT_EQ(QtSettingsStore::ApplicationNameFor("/opt/my.copy.exe"), "my.copy");
    auto original = FreshStore("PellumarSearch");
    original->WriteProfileInt("Options", "Want Tab", 1);
    auto copy = FreshStore("PellumarCopy");
    {
        SearchOptions options(*copy);
        EXPECT_EQ(options.m_bWantTab, 0);
    }
    EXPECT_EQ(original->GetProfileInt("Options", "Want Tab", 0), 1);
}

}  // namespace
}  // namespace pellumar
