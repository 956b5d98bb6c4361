#pragma once

// The main window with its real widgets, on a settings store, a tree and an undo store of the
// case's own, with scripted prompts, a recording desktop and system calls that fail on request.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <atomic>
#include <filesystem>
#include <future>
#include <memory>

#include "AppDoubles.h"
#include "CSearchDlg.h"
#include "FaultySys.h"
#include "MemorySettingsStore.h"
#include "ResultsModel.h"
#include "ResultsView.h"
#include "TempTree.h"

namespace pellumar {

using namespace res;
using P = Prompter;

// The window is opened by the case, once it has filled the store as it likes.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("XDG_STATE_HOME", m_state.Root().c_str(), 1); }
    void TearDown() override {
        m_dialog.reset();
        std::filesystem::current_path(m_previousFolder);
    }
    // Opens the window on the store as it is now, as a new run of the program would.
    CSearchDlg& Open() {
        m_dialog = std::make_unique<CSearchDlg>(m_store, m_prompter, m_shell, m_sys);
        m_dialog->show();
        QApplication::setActiveWindow(m_dialog.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
        return *m_dialog;
    }
    template <class T = QWidget>
    T* Get(int id) const {
        return static_cast<T*>(m_dialog->Control(id));
    }
    ResultsView* List() const { return Get<ResultsView>(kIdResults); }
    ResultsModel& Model() const { return *static_cast<ResultsModel*>(List()->model()); }
    QString Summary() const { return Get<QLabel>(kIdSummary)->text(); }
    bool SummaryMatches(const QString& pattern) const {
        return QRegularExpression("^" + pattern + "$").match(Summary()).hasMatch();
    }
    QAction* Menu(int command) const {
        return m_dialog->MenuBar()->findChild<QAction*>(QString::number(command));
    }
    QString Root() const { return QString::fromStdString(tree.Root()); }
    QString Asked() const { return m_prompter.m_asked.value(m_prompter.m_asked.size() - 1); }

    std::filesystem::path m_previousFolder = std::filesystem::current_path();
    test::TempTree tree;
    test::TempTree m_state;
    MemorySettingsStore m_store;
    test::ScriptedPrompter m_prompter;
    test::RecordingShell m_shell;
    test::FaultySys m_sys;
    std::unique_ptr<CSearchDlg> m_dialog;
};

// The window open on a query that is not confirmed, its store's log empty.
class SearchWindowTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        m_store.WriteProfileInt("Options", "Search Confirmation", 0);
        Open();
        m_store.ClearLog();
    }
    void Query(const std::string& folder, const QString& filter, const QString& search,
               const QString& replace = "") {
        Get<QComboBox>(kIdLookIn)->setEditText(QString::fromStdString(folder));
        Get<QComboBox>(kIdFilter)->setEditText(filter);
        Get<QPlainTextEdit>(kIdSearchText)->setPlainText(search);
        Get<QPlainTextEdit>(kIdReplaceText)->setPlainText(replace);
    }
    void SearchOnly(bool on) {
        Get<QCheckBox>(kIdSearchOnly)->setChecked(on);
        m_dialog->OnSearchOnly();
    }
    // The search stops at the file it opens after `opened` others, until Release.
    // Holds the search before its next open, or before it opens a file named `name`.
    void Hold(std::string name = "") {
        m_hold = {};
        auto released = m_hold.get_future().share();
        if (name.empty()) {
            m_sys.Before(test::Op::Open, [released] { released.wait(); });
            return;
        }
        m_sys.BeforeEach(test::Op::Open, [released, name](const std::string& opened) {
            if (opened == name)
                released.wait();
        });
    }
    void Release() { m_hold.set_value(); }
    // Starts a search of the whole tree for `text`, or its replacement by `replace`, held at its
    // first file.
    void StartHeld(const QString& text, const QString& replace = "") {
        SearchOnly(replace.isEmpty());
        Query(tree.Root(), "*.*", text, replace);
        Hold();
        m_dialog->OnStart();
    }
    bool Idle() {
        return QTest::qWaitFor([this] { return m_dialog->GetRunState() == RunState::Idle; }, 10000);
    }
    // Starts and waits for the end of the search.
    void Run() {
        m_dialog->OnStart();
        ASSERT_TRUE(Idle());
    }
    // Each row as "name in folder", the folder below the tree's root.
    QStringList Listed() const {
        QStringList rows;
        for (int i = 0; i < Model().rowCount(); ++i)
            rows << Model().Row(i).name + " in " + Model().Row(i).location.mid(tree.Root().size());
        return rows;
    }

    std::promise<void> m_hold;
};

}  // namespace pellumar
