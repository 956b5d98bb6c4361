// The options and recent lists as the settings store keeps them: read at the start, written at
// the end, in the configuration file of the executable's own name.
#include <QFile>

#include "AppDoubles.h"
#include "MemorySettingsStore.h"
#include "QtSettingsStore.h"
#include "SearchOptions.h"

namespace pellumar {

// The options of an earlier run, every one away from its first-run value, in the order that the
// end of a run writes them: they are read as they are and written back the same, in that order;
// a change waits for the end, so that a process killed before it starts with the old value again.
TEST(SettingsTest, StoredOptionsAreReadAsTheyAreAndWrittenBackInOrderAtTheEnd) {
    const std::vector<std::string> stored = {"int Options/Include Subdirs=0",
                                             "int Options/Search Only=1",
                                             "int Options/Search Confirmation=0",
                                             "int Options/Hidden Files=0",
                                             "int Options/Want Tab=1",
                                             "int Options/Column One=121",
                                             "int Options/Column Two=161",
                                             "int Options/Column Three=43",
                                             "int Options/Column Four=91",
                                             "int Options/Column Five=121",
                                             "int Options/Ignore Case=5",
                                             "int Options/Double-Click Action=-3",
                                             "int Options/Keep Undo Copies=0",
                                             "string Options/File Viewer="};
    MemorySettingsStore store;
    for (const std::string& line : stored) {
        const std::size_t slash = line.find('/'), equals = line.find('=');
        const std::string key = line.substr(slash + 1, equals - slash - 1);
        const std::string value = line.substr(equals + 1);
        line[0] == 'i' ? store.WriteProfileInt("Options", key, std::stoi(value))
                       : store.WriteProfileString("Options", key.c_str(), value.c_str());
    }
    store.ClearLog();
    {
        SearchOptions options(store);
        EXPECT_EQ(options.m_bIgnoreCase, 5);
        EXPECT_EQ(options.m_nDoubleClickAction, -3);
        EXPECT_EQ(options.m_strFileViewer, "");
        EXPECT_TRUE(store.Log().empty());
    }
    EXPECT_EQ(store.Log(), stored);
    store.WriteProfileString("Options", "Column One", "wide");  // not an integer
    {
        SearchOptions options(store);
        EXPECT_EQ(options.m_nColumnOne, 120);
        options.m_bIgnoreCase = 0;
        EXPECT_EQ(store.GetProfileInt("Options", "Ignore Case", 1), 5);
    }
    EXPECT_EQ(store.GetProfileInt("Options", "Ignore Case", 1), 0);
    EXPECT_EQ(store.GetProfileInt("Options", "Column One", 0), 120);
}

// A store of its own under the test run's XDG_CONFIG_HOME, starting empty.
static std::unique_ptr<QtSettingsStore> FreshStore(const QString& application) {
    QFile::remove(QtSettingsStore("KVT", application).Location());
    return std::make_unique<QtSettingsStore>("KVT", application);
}

// Each executable name keeps its own configuration file, which keeps awkward texts as they are,
// refuses what is not an integer, and deletes only what it is told.
TEST(SettingsTest, TheDesktopStoreKeepsEachExecutablesOwnFile) {
    EXPECT_EQ(QtSettingsStore::ApplicationNameFor("/usr/bin/PellumarSearch"), "PellumarSearch");
    EXPECT_EQ(QtSettingsStore::ApplicationNameFor("C:/Tools/PellumarSearch.exe"), "PellumarSearch");
    EXPECT_EQ(QtSettingsStore::ApplicationNameFor("/opt/my.copy.exe"), "my.copy");
    auto store = FreshStore("PellumarSearch");
    EXPECT_EQ(store->Location(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + "/KVT/PellumarSearch.conf");
    store->WriteProfileInt("Options", "Want Tab", 1);
    EXPECT_EQ(SearchOptions(*FreshStore("PellumarCopy")).m_bWantTab, 0);

    const std::vector<std::string> texts = {
        "a, b",       " leading and trailing ", "@Variant(x)", "semi;colon #hash",
        "quote\"s",   "back\\slash=equals",     "Grüße/日本",  "",
        "line\nbreak"};
    store = FreshStore("Awkward");
    for (std::size_t i = 0; i < texts.size(); ++i)
        store->WriteProfileString("S", ("t" + std::to_string(i)).c_str(), texts[i].c_str());
    store->WriteProfileString("N", "big", "99999999999");
    store->WriteProfileString("N", "word", "twelve");
    store->WriteProfileInt("N", "negative", -5);
    store->WriteProfileString("A", "one", "1");
    store->WriteProfileString("A", "two", "2");
    store->WriteProfileString("B", "one", "1");
    store->WriteProfileString("A", "one", nullptr);
    EXPECT_EQ(store->GetProfileString("A", "one", "gone") + store->GetProfileString("A", "two", ""),
              "gone2");
    store->WriteProfileString("A", nullptr, nullptr);
    store.reset();
    QtSettingsStore reread("KVT", "Awkward");  // reads the file, not what the writer cached
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(reread.GetProfileString("S", "t" + std::to_string(i), "missing"), texts[i]);
    for (const auto& [section, key, value] :
         {std::tuple{"N", "big", 7}, {"N", "word", 7}, {"N", "negative", -5}, {"Nowhere", "x", 7}})
        EXPECT_EQ(reread.GetProfileInt(section, key, 7), value) << key;
    EXPECT_EQ(reread.GetProfileString("A", "two", "gone") + reread.GetProfileString("B", "one", ""),
              "gone1");
    EXPECT_EQ(QtSettingsStore("KVT", "PellumarSearch").GetProfileInt("Options", "Want Tab", 0), 1);
}

}  // namespace pellumar
