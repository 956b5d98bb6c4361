// The message boxes as the window shows them: plain text, the first button the default one,
// questions that only a button answers, long texts kept on the screen, and F1 from any window.
#include <QFile>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>

#include "AppDoubles.h"
#include "CSearchApp.h"
#include "CSearchDlg.h"
#include "MessageBoxPrompter.h"
#include "PromptText.h"

namespace pellumar {

using P = Prompter;

// Does `act` on the modal window up next, once it is up and active, so that its shortcuts reach
// it.
static void OnModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* window = QApplication::activeModalWidget();
        ASSERT_NE(window, nullptr);
        QApplication::setActiveWindow(window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        act(window);
    });
}

// Asks through the real message box, doing `act` on it once it is up; a box that `act` leaves
// open fails the case rather than hang it.
static int AskWith(const QString& text, P::Buttons buttons, std::function<void(QMessageBox*)> act) {
    MessageBoxPrompter prompter;
    OnModal([act](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        act(box);
        // A mnemonic clicks its button a moment later, as a click takes that long.
        QPointer<QMessageBox> open(box);
        if (!QTest::qWaitFor([&] { return open.isNull() || !open->isVisible(); }, 1000)) {
            ADD_FAILURE() << "the box is still open";
            open->done(QMessageBox::Cancel);
        }
    });
    return prompter.Ask(text, "Undo Last Replacement", buttons, P::kExclamation);
}

// Enter answers the first button; Alt and a button's letter answer that button; Escape answers
// No, but Abort, Retry and Ignore only their buttons. A prompt that fits on the screen is shown
// whole as plain text, however long its lines, with no details, and its caption is never cut; a
// longer one is shortened to the screen, whole in its details.
TEST(PromptsTest, APromptIsShownOnTheScreenAndAnsweredByItsKeys) {
    const QString failure = QStringLiteral(
        "Cannot open the temporary file (/home/someone/projects/a/<b>rather</b>/deep/folder/"
        "pelAA2B.tmp): Access denied. Abort the search, Ignore this file and continue on to the "
        "next one, or Retry the operation?\n\nFile being replaced: /home/someone/projects/a/"
        "<font color=red>rather</font>/deep/folder/notes.txt\nThe system said: Permission denied");
    const std::tuple<P::Buttons, Qt::Key, Qt::KeyboardModifiers, int> cases[] = {
        {P::kYesNo, Qt::Key_Return, {}, P::kIdYes},
        {P::kOkCancel, Qt::Key_Return, {}, P::kIdOk},
        {P::kAbortRetryIgnore, Qt::Key_Return, {}, P::kIdAbort},
        {P::kAbortRetryIgnore, Qt::Key_I, Qt::AltModifier, P::kIdIgnore},
        {P::kAbortRetryIgnore, Qt::Key_A, Qt::AltModifier, P::kIdAbort},
        {P::kAbortRetryIgnore, Qt::Key_R, Qt::AltModifier, P::kIdRetry},
        {P::kYesNo, Qt::Key_N, Qt::AltModifier, P::kIdNo},
        {P::kYesNo, Qt::Key_Escape, {}, P::kIdNo},
        {P::kAbortRetryIgnore, Qt::Key_Escape, {}, P::kIdRetry}};
    for (const auto& [buttonsOf, keyOf, modifiersOf, answer] : cases) {
        // Copied, as a lambda may not capture a structured binding.
        EXPECT_EQ(
            AskWith(
                failure, buttonsOf,
                [&, buttons = buttonsOf, key = keyOf, modifiers = modifiersOf](QMessageBox* box) {
                    EXPECT_EQ(box->textFormat(), Qt::PlainText);
                    EXPECT_EQ(box->text() + box->detailedText(), failure);
                    QFont title = box->font();
                    title.setBold(true);
                    EXPECT_GE(box->width(),
                              QFontMetrics(title).horizontalAdvance("Undo Last Replacement") + 100);
                    QTest::keyClick(box, key, modifiers);
                    if (key == Qt::Key_Escape && buttons == P::kAbortRetryIgnore) {
                        box->close();  // neither closes it: only Retry does
                        box->button(QMessageBox::Retry)->click();
                    }
                }),
            answer)
            << buttonsOf << " " << keyOf;
    }
    // A text too long for the screen is shortened with a visible ellipsis and given whole in the
    // details; after Show Details, Enter still answers the default button.
    const QString text = QString("line\n").repeated(80) + QString(1500, QLatin1Char('w'));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(AskWith(text, P::kYesNo,
                      [&](QMessageBox* box) {
                          EXPECT_EQ(box->detailedText(), text);
                          EXPECT_TRUE(box->text().contains(QChar(0x2026)));
                          EXPECT_LE(box->sizeHint().height(), screen.height());
                          EXPECT_LE(box->sizeHint().width(), screen.width());
                          for (QAbstractButton* button : box->buttons())
                              if (box->buttonRole(button) == QMessageBox::ActionRole)
                                  button->click();
                          QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                      }),
              P::kIdYes);
    // A long word keeps both ends, never cutting a character outside the basic plane in two;
    // rows past the box are left out after an ellipsis line.
    const BoxLimits limits{10, 30, 20};
    const QString ellipsis(QChar(0x2026)), face = QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(ShortenedForBox(QString(13, 'a') + face.repeated(20), limits),
              QString(13, 'a') + ellipsis + face.repeated(7));
    EXPECT_EQ(ShortenedForBox(QString("word ").repeated(60), limits),
              QString("word ").repeated(36) + "\n" + ellipsis);
    const QString tenRows = QString("x\n").repeated(9) + "x";
    EXPECT_EQ(ShortenedForBox(tenRows, limits), tenRows);
    EXPECT_EQ(ShortenedForBox(tenRows + "\n\n", limits), QString("x\n").repeated(9) + ellipsis);
}

// The program as it runs its window until it closes: F1 in the main window and in a prompt over
// it, never with Shift held, and Help > Help Topics open the help, the text beside the
// executable; where the desktop cannot open it, a box says why. Then it saves under its own name.
TEST(PromptsTest, F1OpensTheHelpFromEveryWindowOfTheProgram) {
    QTemporaryDir folder;
    test::RecordingShell shell;
    CSearchApp app(shell, folder.filePath("RunTest"));
    app.OnHelp();  // none beside it
    EXPECT_TRUE(shell.m_calls.isEmpty());
    QFile(folder.filePath("RunTest.TXT")).open(QIODevice::WriteOnly);
    QString told;
    OnModal([&](QWidget* widget) {
        auto* window = qobject_cast<CSearchDlg*>(widget);
        QTest::keyClick(window, Qt::Key_F1);
        QTest::keyClick(window, Qt::Key_F1, Qt::ShiftModifier);
        OnModal([](QWidget* box) {
            QTest::keyClick(box, Qt::Key_F1);
            static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
        });
        window->OnNewQuery();
        auto* topics = window->MenuBar()->findChild<QAction*>(QString::number(res::kCmdHelpTopics));
        EXPECT_EQ(topics->text(), "&Help Topics\tF1");
        topics->trigger();
        shell.m_bDocumentOpens = false;
        shell.m_strFailure = "xdg-open is not installed";
        OnModal([&](QWidget* box) {
            told = static_cast<QMessageBox*>(box)->text();
            box->close();
        });
        topics->trigger();
        window->close();
    });
    EXPECT_EQ(app.InitInstance(), 0);
    EXPECT_EQ(shell.m_calls, QStringList(4, "open " + folder.filePath("RunTest.TXT")));
    EXPECT_EQ(told, "Cannot open the help file " + folder.filePath("RunTest.TXT") +
                        ":\nxdg-open is not installed.");
    // The window says which launcher entry it belongs to.
    EXPECT_EQ(QGuiApplication::desktopFileName(), "org.example.PellumarSearch");
    EXPECT_EQ(QSettings("KVT", "RunTest").value("Options/Column Two").toInt(), 160);
}

}  // namespace pellumar
