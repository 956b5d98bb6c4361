#pragma once
// The main window with its real widgets, run on a tree of the case's own, with scripted prompts,
// a recording desktop and system calls that fail on request.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <future>

#include "AppDoubles.h"
#include "CSearchDlg.h"
#include "FaultySys.h"
#include "MemorySettingsStore.h"
#include "ResourceIds.h"
#include "ResultsModel.h"
#include "TempTree.h"

namespace pellumar {

class SearchWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("XDG_STATE_HOME", m_state.Root().c_str(), 1);  // each case's own undo store
        m_store.WriteProfileInt("Options", "Search Confirmation", 0);
        m_dialog = std::make_unique<CSearchDlg>(m_store, m_prompter, m_shell, m_sys);
        m_dialog->show();
        QApplication::setActiveWindow(m_dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
        m_store.ClearLog();
    }
    void TearDown() override {
        m_dialog.reset();
        std::filesystem::current_path(m_previousFolder);
    }

    void Query(const std::string& folder, const QString& filter, const QString& search,
               const QString& replace = "") {
        Combo(res::kIdLookIn)->setEditText(QString::fromStdString(folder));
        Combo(res::kIdFilter)->setEditText(filter);
        Text(res::kIdSearchText)->setPlainText(search);
        Text(res::kIdReplaceText)->setPlainText(replace);
    }
    void SearchOnly(bool on) {
        static_cast<QCheckBox*>(Control(res::kIdSearchOnly))->setChecked(on);
        m_dialog->OnSearchOnly();
    }
    // The worker stops at its first file until Release.
    void Hold() {
        m_hold = {};
        m_sys.Before(test::Op::Open, [future = m_hold.get_future().share()] { future.wait(); });
    }
    void Release() { m_hold.set_value(); }
    // Searches the whole tree for `text` only: started, held or waited for.
    void Search(const QString& text, bool held = false) {
        SearchOnly(true);
        Query(tree.Root(), "*.*", text);
        if (held) {
            Hold();
            m_dialog->OnStart();
        } else {
            Run();
        }
    }
    // Waits for the end of the search.
    bool Idle() {
        return QTest::qWaitFor([this] { return m_dialog->GetRunState() == RunState::Idle; }, 10000);
    }
    // Starts and waits for the end of the search.
    void Run() {
        m_dialog->OnStart();
        ASSERT_TRUE(Idle());
    }
    QWidget* Control(int id) const { return m_dialog->Control(id); }
    QComboBox* Combo(int id) const { return static_cast<QComboBox*>(Control(id)); }
    QPlainTextEdit* Text(int id) const { return static_cast<QPlainTextEdit*>(Control(id)); }
    QTreeView* List() const { return static_cast<QTreeView*>(Control(res::kIdResults)); }
    QStringList Listed() const {
        QStringList rows;
        const ResultsModel& model = m_dialog->Results();
        for (int i = 0; i < model.rowCount(); ++i)
            rows << model.Row(i).name + " in " + model.Row(i).location.mid(tree.Root().size());
        return rows;
    }
    // Types each character as a key press would, the ones no key stands for included.
    static void Type(QWidget* widget, const QString& text) {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &press);
        }
    }
    bool LogHas(const std::string& prefix) const {
        for (const std::string& line : m_store.Log())
            if (line.rfind(prefix, 0) == 0)
                return true;
        return false;
    }

    std::filesystem::path m_previousFolder = std::filesystem::current_path();
    test::TempTree tree;
    test::TempTree m_state;
    MemorySettingsStore m_store;
    test::ScriptedPrompter m_prompter;
    test::RecordingShell m_shell;
    test::FaultySys m_sys;
    std::promise<void> m_hold;
    std::unique_ptr<CSearchDlg> m_dialog;
};

}  // namespace pellumar
