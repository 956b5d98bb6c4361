// The options and recent lists as the settings store keeps them: read at the start, written at
// the end, in the configuration file of the executable's own name.
#include <sys/stat.h>

#include <QFile>

#include "AppDoubles.h"
#include "MemorySettingsStore.h"
#include "QtSettingsStore.h"
#include "SearchOptions.h"

namespace pellumar {

// A store of its own under the test run's XDG_CONFIG_HOME, starting empty.
static std::unique_ptr<QtSettingsStore> FreshStore(const QString& application) {
    QFile::remove(QtSettingsStore("KVT", application).Location());
    return std::make_unique<QtSettingsStore>("KVT", application);
}

// The options of an earlier run, every one away from its first-run value, in the order that the
// end of a run writes them: they are read as they are and written back the same, in that order;
// a change waits for the end, so that a process killed before it starts with the old value again.
TEST(SettingsTest, StoredOptionsAreReadAsTheyAreAndWrittenBackToTheExecutablesOwnFile) {
    const std::pair<const char*, int> earlier[] = {
        {"Include Subdirs", 0},  {"Search Only", 1},        {"Search Confirmation", 0},
        {"Hidden Files", 0},     {"Want Tab", 1},           {"Column One", 121},
        {"Column Two", 161},     {"Column Three", 43},      {"Column Four", 91},
        {"Column Five", 121},    {"Ignore Case", 5},        {"Double-Click Action", -3},
        {"Keep Undo Copies", 0}, {"Regular Expressions", 1}};
    MemorySettingsStore store;
    for (const auto& [key, value] : earlier)
        store.WriteProfileInt("Options", key, value);
    store.WriteProfileString("Options", "File Viewer", "");
    const std::vector<std::string> stored = store.Log();  // to be written back as it was
    store.ClearLog();
    {
        const SearchOptions options(store);
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

    // Each executable name keeps its own configuration file, which keeps awkward texts as they
    // are, refuses what is not an integer, and deletes only the section it is told.
    EXPECT_EQ(QtSettingsStore::ApplicationNameFor("/opt/my.copy.exe"), "my.copy");
    auto desktop = FreshStore("PellumarSearch");
    EXPECT_EQ(desktop->Location(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + "/KVT/PellumarSearch.conf");
    desktop->WriteProfileInt("Options", "Want Tab", 1);
    EXPECT_EQ(SearchOptions(*FreshStore("PellumarCopy")).m_bWantTab, 0);

    const std::vector<std::string> texts = {
        "a, b",       " leading and trailing ", "@Variant(x)", "semi;colon #hash",
        "quote\"s",   "back\\slash=equals",     "Grüße/日本",  "",
        "line\nbreak"};
    desktop = FreshStore("Awkward");
    for (std::size_t i = 0; i < texts.size(); ++i)
        desktop->WriteProfileString("S", ("t" + std::to_string(i)).c_str(), texts[i].c_str());
    desktop->WriteProfileString("N", "big", "99999999999");
    desktop->WriteProfileString("N", "word", "twelve");
    desktop->WriteProfileInt("N", "negative", -5);
    desktop->WriteProfileString("A", "two", "2");
    desktop->WriteProfileString("B", "one", "1");
    desktop->WriteProfileString("A", nullptr, nullptr);  // as a recent list clears its section
    desktop.reset();
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

// Closing, the window writes back every option: one that the file holds already is not written
// again (the file stays the file it was), and one that another instance changed meanwhile is.
TEST(SettingsTest, AValueTheFileHoldsIsNotWrittenAgainButOneChangedElsewhereIs) {
    auto store = FreshStore("Twice");
    store->WriteProfileInt("Options", "Count", 1);
    store->WriteProfileString("Options", "Viewer", "kate %f");
    const auto file = [&store] {
        struct stat st {};
        ::stat(store->Location().toLocal8Bit().constData(), &st);
        return st.st_ino;
    };
    const auto written = file();
    EXPECT_TRUE(store->WriteProfileInt("Options", "Count", 1));
    EXPECT_TRUE(store->WriteProfileString("Options", "Viewer", "kate %f"));
    EXPECT_EQ(file(), written);
    {
        QFile other(store->Location());  // another instance, in a process of its own
        ASSERT_TRUE(other.open(QIODevice::WriteOnly | QIODevice::Truncate));
        other.write("[Options]\nCount=22\nViewer=kate %f\n");
    }
    EXPECT_TRUE(store->WriteProfileInt("Options", "Count", 1));
    EXPECT_TRUE(store->WriteProfileString("Options", "Viewer", "gedit"));
    QFile now(store->Location());  // as a process of its own reads it
    ASSERT_TRUE(now.open(QIODevice::ReadOnly));
    EXPECT_EQ(now.readAll(), "[Options]\nCount=1\nViewer=gedit\n");
}

}  // namespace pellumar
