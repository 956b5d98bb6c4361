// Runs one search from the main window, without a display, as a user would:
//   pellumar_window_run [--match-case] FOLDER [FILTER [SEARCH [REPLACE]]]
// Without REPLACE it only searches (an empty SEARCH lists every file). Writes the listed paths
// to standard output in the list's order, one per line, and to standard error the rows, the
// total time and the longest time the event loop was kept from running.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "CSearchDlg.h"
#include "DesktopShell.h"
#include "MemorySettingsStore.h"
#include "Prompter.h"
#include "ResourceIds.h"
#include "ResultsModel.h"
#include "WindowRules.h"

namespace {

qint64 ThreadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<qint64>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Every question is answered the quiet way: no confirmation is asked, failures skip the file.
class QuietPrompter final : public pellumar::Prompter {
  public:
    int Ask(const QString&, const QString&, Buttons, Icon) override { return kIdIgnore; }
    QString ChooseFolder(const QString&, const QString&) override { return {}; }
    QString ChooseProgram(QWidget*) override { return {}; }
};

}  // namespace

// The names found, one a line, then how long the run took and the event loop was held.
static void PrintRows(const pellumar::ResultsModel& results, double seconds, qint64 longest) {
    for (int row = 0; row < results.rowCount(); ++row) {
        const QByteArray& path = results.Row(row).path;
        std::fwrite(path.constData(), 1, static_cast<std::size_t>(path.size()), stdout);
        std::fputc('\n', stdout);
    }
    std::fprintf(stderr, "rows %d total %.3f s longest_block %lld ms\n", results.rowCount(),
                 seconds, static_cast<long long>(longest));
}

int main(int argc, char** argv) {
    const bool matchCase = argc > 1 && std::strcmp(argv[1], "--match-case") == 0;
    char** args = argv + (matchCase ? 1 : 0);
    const int count = argc - (matchCase ? 1 : 0);
    if (count < 2 || count > 5) {
        std::fprintf(stderr, "usage: %s [--match-case] FOLDER [FILTER [SEARCH [REPLACE]]]\n",
                     argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    using namespace pellumar;
    MemorySettingsStore store;
    store.WriteProfileInt("Options", "Search Confirmation", 0);
    store.WriteProfileInt("Options", "Search Only", count > 4 ? 0 : 1);
    store.WriteProfileInt("Options", "Ignore Case", matchCase ? 0 : 1);
    QuietPrompter prompter;
    DesktopShell shell;
    CSearchDlg dialog(store, prompter, shell);
    dialog.show();
    QApplication::processEvents();
    auto text = [&](int i, const char* fallback) {
        return QString::fromLocal8Bit(count > i ? args[i] : fallback);
    };
    static_cast<QComboBox*>(dialog.Control(res::kIdLookIn))->setEditText(text(1, ""));
    static_cast<QComboBox*>(dialog.Control(res::kIdFilter))->setEditText(text(2, "*.*"));
    static_cast<QPlainTextEdit*>(dialog.Control(res::kIdSearchText))->setPlainText(text(3, ""));
    static_cast<QPlainTextEdit*>(dialog.Control(res::kIdReplaceText))->setPlainText(text(4, ""));

    // A tick every 5 ms: the longest gap between two ticks is how long the loop was held.
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 lastBusy = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(5);
    const bool tellGaps = qEnvironmentVariableIsSet("PELLUMAR_WINDOW_GAPS");
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        // The processor time this thread had tells a hold by work from one by a busy machine.
        const qint64 busy = ThreadMilliseconds();
        if (tellGaps && now - lastTick > 30) {
            std::fprintf(stderr, "held %lld ms (%lld ms working) until %lld ms, %d rows\n",
                         static_cast<long long>(now - lastTick),
                         static_cast<long long>(busy - lastBusy), static_cast<long long>(now),
                         dialog.Results().rowCount());
        }
        longest = std::max(longest, now - lastTick);
        lastTick = now;
        lastBusy = busy;
    });
    clock.start();
    ticker.start();
    QTimer::singleShot(0, [&] { dialog.OnStart(); });
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (clock.elapsed() > 100 && dialog.GetRunState() == RunState::Idle)
            application.quit();
    });
    watcher.start(1);
    application.exec();
    PrintRows(dialog.Results(), clock.elapsed() / 1000.0, longest);
    return 0;
}
