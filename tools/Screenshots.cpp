// Takes a picture of each page of the main window, without a display:
//   pellumar_screenshots OUTPUT_FOLDER
// writes query.png, results.png, results-menu.png, matches.png, no-files.png, confirm.png,
// preview.png, replaced.png, about.png and action.png there.
// Settings come from memory, never the user's own.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include "ResultsView.h"

#include "CAboutDlg.h"
#include "CActionDlg.h"
#include "CMatchesDlg.h"
#include "CSearchDlg.h"
#include "DesktopShell.h"
#include "MatchesModel.h"
#include "MemorySettingsStore.h"
#include "MessageBoxPrompter.h"
#include "ResourceIds.h"
#include "WindowRules.h"

namespace {

bool Save(QWidget& window, const QString& path) {
    QApplication::processEvents();
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

// A few files to find, so that the results page shows rows.
void MakeSamples(const QDir& top) {
    const char* files[] = {"notes.txt",    "Plan.md",        "src/main.c", "src/parser.c",
                           "src/parser.h", "doc/manual.txt", "build.sh"};
    for (const char* name : files) {
        top.mkpath(QFileInfo(top.filePath(name)).path());
        QFile file(top.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(
                "/* TODO: the parser should say where the input ended. */\n"
                "int parse(const char *text);\n\n"
                "/* Lines are counted from 1; TODO: keep them in each token. */\n");
    }
}

// Searches the samples from the window and waits for the end.
void Search(pellumar::CSearchDlg& dialog, const QString& folder, const QString& text = "TODO") {
    using namespace pellumar;
    static_cast<QComboBox*>(dialog.Control(res::kIdLookIn))->setEditText(folder);
    static_cast<QComboBox*>(dialog.Control(res::kIdFilter))->setEditText("*.*");
    static_cast<QPlainTextEdit*>(dialog.Control(res::kIdSearchText))->setPlainText(text);
    dialog.OnStart();
    QElapsedTimer clock;
    clock.start();
    while (dialog.GetRunState() != RunState::Idle && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The results sorted by location, a row selected, and its right-click menu open over it: the
// menu is a window of its own, so it is painted into the picture where it would open.
bool SaveWithMenu(pellumar::CSearchDlg& dialog, const QString& path) {
    auto* list = static_cast<pellumar::ResultsView*>(dialog.Control(pellumar::res::kIdResults));
    list->sortByColumn(1, Qt::AscendingOrder);
    list->setFocus();
    list->setCurrentIndex(list->model()->index(2, 0));
    QMenu* menu = dialog.ResultsMenu();
    emit menu->aboutToShow();
    menu->ensurePolished();
    menu->adjustSize();
    QApplication::processEvents();
    QPixmap picture = dialog.grab();
    const QRect row = list->visualRect(list->currentIndex());
    const QPoint at = list->viewport()->mapTo(&dialog, row.center() + QPoint(10, 0));
    QPainter painter(&picture);
    menu->render(&painter, at);
    painter.end();
    const bool saved = picture.save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

// Runs the events until `done`, or ten seconds.
template <class Done>
void Await(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Whether the Matches window's rows have all been read.
bool AllRead(const pellumar::CMatchesDlg& window) {
    const QAbstractItemModel& model = window.Model();
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, 0).data().toString() == QString(QChar(0x2026)))
            return false;
    }
    return true;
}

// The matching lines of every file found, in the Matches window.
bool SaveMatches(pellumar::CSearchDlg& dialog, const QString& path) {
    auto* list = static_cast<pellumar::ResultsView*>(dialog.Control(pellumar::res::kIdResults));
    list->selectAll();
    QMenu* menu = dialog.ResultsMenu();
    emit menu->aboutToShow();
    menu->findChild<QAction*>("showMatches")->trigger();
    pellumar::CMatchesDlg* window = dialog.MatchesWindow();
    window->resize(640, 300);
    Await([&] { return AllRead(*window); });
    const bool saved = Save(*window, path);
    window->close();
    return saved;
}

// A replacement: its question painted over the window where it opens, answered Preview, the
// lines it would change, then Replace, and the window with the files it changed and the line
// that says how it ended.
bool SaveReplacement(pellumar::CSearchDlg& dialog, const QString& samples, const QString& question,
                     const QString& preview, const QString& after) {
    using namespace pellumar;
    static_cast<QCheckBox*>(dialog.Control(res::kIdSearchOnly))->setChecked(false);
    dialog.OnSearchOnly();
    dialog.Options().m_bSearchConfirmation = 1;
    static_cast<QPlainTextEdit*>(dialog.Control(res::kIdReplaceText))->setPlainText("FIXME");
    bool saved = false;
    QTimer::singleShot(300, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        QPixmap picture = dialog.grab();
        QPainter painter(&picture);
        box->render(&painter, QPoint((dialog.width() - box->width()) / 2,
                                     (dialog.height() - box->height()) / 3));
        painter.end();
        saved = picture.save(question);
        std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(question));
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::ApplyRole)
                button->click();  // Preview...
        }
    });
    Search(dialog, samples);
    CMatchesDlg* window = dialog.MatchesWindow();
    if (window == nullptr)
        return false;
    window->resize(640, 300);
    Await([&] { return AllRead(*window); });
    saved = Save(*window, preview) && saved;
    window->ReplaceButton()->click();
    Await([&] { return dialog.GetRunState() == RunState::Idle; });
    return Save(dialog, after) && saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // Absolute: the search moves the process's current folder.
    const QDir folder(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    if (!folder.mkpath("."))
        return 1;

    QTemporaryDir samples;
    MakeSamples(QDir(samples.path()));
    QTemporaryDir state;  // an undo store of its own, empty
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    pellumar::MemorySettingsStore store;
    store.WriteProfileInt("Options", "Search Confirmation", 0);
    store.WriteProfileInt("Options", "Search Only", 1);
    store.WriteProfileString("Look In Folders MRU", "dir1", "/home/ann/projects");
    store.WriteProfileString("Filters MRU", "filter1", "*.txt");
    pellumar::MessageBoxPrompter prompter;
    pellumar::DesktopShell shell;
    pellumar::CSearchDlg dialog(store, prompter, shell);
    dialog.show();
    bool ok = Save(dialog, folder.filePath("query.png"));
    Search(dialog, samples.path());
    static_cast<QTabWidget*>(dialog.Control(pellumar::res::kIdTabPages))->setCurrentIndex(1);
    ok = Save(dialog, folder.filePath("results.png")) && ok;
    ok = SaveWithMenu(dialog, folder.filePath("results-menu.png")) && ok;
    ok = SaveMatches(dialog, folder.filePath("matches.png")) && ok;
    Search(dialog, samples.path(), "nowhere in these files");
    ok = Save(dialog, folder.filePath("no-files.png")) && ok;
    ok = SaveReplacement(dialog, samples.path(), folder.filePath("confirm.png"),
                         folder.filePath("preview.png"), folder.filePath("replaced.png")) &&
         ok;
    pellumar::CAboutDlg about(shell, prompter, &dialog);
    about.show();
    ok = Save(about, folder.filePath("about.png")) && ok;
    pellumar::CActionDlg action(prompter, &dialog);
    action.m_nAction = 2;
    action.m_strViewer = "xdg-open";
    action.OnInitDialog();
    action.show();
    ok = Save(action, folder.filePath("action.png")) && ok;
    return ok ? 0 : 1;
}
