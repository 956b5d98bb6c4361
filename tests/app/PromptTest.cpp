// The message boxes as the window shows them: plain text, the first button the default one,
// questions that only a button answers, long texts kept on the screen, and F1 from any window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "AppDoubles.h"
#include "CSearchApp.h"
#include "CSearchDlg.h"
#include "DialogBuilder.h"
#include "MessageBoxPrompter.h"
#include "PromptText.h"
#include "ResourceIds.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

using namespace res;

// Asks through the real message box, doing `act` on it once it is up.
int AskWith(const QString& text, Prompter::Buttons buttons, std::function<void(QMessageBox*)> act) {
    MessageBoxPrompter prompter;
    QTimer::singleShot(0, [act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QApplication::setActiveWindow(box);  // so that its shortcuts reach it
        EXPECT_TRUE(QTest::qWaitForWindowActive(box));
        act(box);
        // A mnemonic clicks its button a moment later, as a click takes that long.
        QPointer<QMessageBox> open(box);
        (void)QTest::qWaitFor([&] { return open.isNull() || !open->isVisible(); }, 1000);
        if (!open.isNull() &&
            open->isVisible()) {  // a key that answered nothing must fail, not hang
            ADD_FAILURE() << "the box is still open";
            open->done(QMessageBox::Cancel);
        }
    });
    return prompter.Ask(text, QStringLiteral("Caption"), buttons, Prompter::kExclamation);
}

TEST(PromptsTest, TextsAreShownAsTheyAreAndEnterAnswersTheFirstButtonEscapeOnlySomeQuestions) {
    const QString rich = QStringLiteral("Cannot open (<b>bold</b>/<font color=red>x</font>)");
    const struct {
        Prompter::Buttons buttons;
        int answer;
    } cases[] = {{Prompter::kYesNo, Prompter::kIdYes},
                 {Prompter::kOkCancel, Prompter::kIdOk},
                 {Prompter::kAbortRetryIgnore, Prompter::kIdAbort},
                 {Prompter::kOk, Prompter::kIdOk}};
    for (const auto& c : cases) {
        const int answer = AskWith(rich, c.buttons, [&](QMessageBox* box) {
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->text(), rich);
            QTest::keyClick(box, Qt::Key_Return);
        });
        EXPECT_EQ(answer, c.answer) << c.buttons;
    }
    // Abort, Retry and Ignore are answered only by their buttons; elsewhere Escape is the way
    // out.
    EXPECT_EQ(AskWith("x", Prompter::kAbortRetryIgnore,
                      [](QMessageBox* box) {
                          QTest::keyClick(box, Qt::Key_Escape);
                          box->close();
                          EXPECT_TRUE(box->isVisible());
                          box->button(QMessageBox::Retry)->click();
                      }),
              Prompter::kIdRetry);
    EXPECT_EQ(AskWith("x", Prompter::kYesNo,
                      [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }),
              Prompter::kIdNo);
}

TEST(PromptsTest, LongTextsStayOnTheScreenAndWholeInTheDetails) {
    QString tall, wide(1500, QLatin1Char('w'));
    for (int line = 0; line < 80; ++line)
        tall += QStringLiteral("line %1\n").arg(line);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QString& text : {tall, wide, tall + wide}) {
        AskWith(text, Prompter::kYesNo, [&](QMessageBox* box) {
            EXPECT_EQ(box->detailedText(), text);
            EXPECT_TRUE(box->text().contains(QChar(0x2026)));  // a visible ellipsis
            EXPECT_LE(box->sizeHint().height(), screen.height());
            EXPECT_LE(box->sizeHint().width(), screen.width());
            box->button(QMessageBox::No)->click();
        });
    }
    const BoxLimits limits{10, 30, 20};
    EXPECT_EQ(ShortenedForBox(QStringLiteral("fits\nin the box"), limits),
              QStringLiteral("fits\nin the box"));
    // A long word keeps both ends; rows past the box are left out after an ellipsis line.
    EXPECT_EQ(ShortenedForBox("see /" + QString(40, 'a') + "/name.txt", limits),
              "see /" + QString(13, 'a') + QChar(0x2026) + QString(6, 'a') + "/name.txt");
    EXPECT_EQ(ShortenedForBox(QString("word ").repeated(60), limits),
              QString("word ").repeated(36) + "\n" + QChar(0x2026));
    // A character outside the basic plane is never cut in two.
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
    for (const QString& word : {QString(14, 'a') + face.repeated(20), face.repeated(20)}) {
        const QString shown = ShortenedForBox(word, limits);
        for (qsizetype at = 0; at < shown.size(); ++at) {
            if (shown.at(at).isHighSurrogate()) {
                EXPECT_TRUE(at + 1 < shown.size() && shown.at(at + 1).isLowSurrogate());
            }
            if (shown.at(at).isLowSurrogate()) {
                EXPECT_TRUE(at > 0 && shown.at(at - 1).isHighSurrogate());
            }
        }
    }
    EXPECT_EQ(ShortenedForBox(QString("x\n").repeated(12), limits),
              QString("x\n").repeated(9) + QChar(0x2026));
}

// A prompt that fits on the screen is shown whole, however long its lines: the failure prompt
// with its question and the meaning of its buttons, the filter problem with its last words.
// Its buttons answer to Alt and their letter; after Show Details, Enter still answers the
// default button; its caption is never cut.
TEST(PromptsTest, APromptThatFitsIsShownWholeAndAnsweredByItsKeys) {
    const QString failure = QStringLiteral(
        "Cannot open the temporary file (/home/someone/projects/a/rather/deep/folder/pelAA2B.tmp): "
        "Access denied. Abort the search, Ignore this file and continue on to the next one, or "
        "Retry the operation?\n\nFile being replaced: /home/someone/projects/a/rather/deep/"
        "folder/notes.txt\nThe system said: Permission denied");
    EXPECT_EQ(AskWith(failure, Prompter::kAbortRetryIgnore,
                      [&](QMessageBox* box) {
                          EXPECT_EQ(box->text(), failure);
                          EXPECT_TRUE(box->detailedText().isEmpty());
                          QTest::keyClick(box, Qt::Key_I, Qt::AltModifier);
                      }),
              Prompter::kIdIgnore);
    for (const auto& [key, answer] :
         {std::pair{Qt::Key_A, Prompter::kIdAbort}, std::pair{Qt::Key_R, Prompter::kIdRetry}}) {
        EXPECT_EQ(
            AskWith(failure, Prompter::kAbortRetryIgnore,
                    [key = key](QMessageBox* box) { QTest::keyClick(box, key, Qt::AltModifier); }),
            answer);
    }
    EXPECT_EQ(AskWith("x", Prompter::kYesNo,
                      [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_N, Qt::AltModifier); }),
              Prompter::kIdNo);
    // Shortened, with details: Enter after Show Details still answers Yes.
    const QString tall = QString("line\n").repeated(200);
    EXPECT_EQ(AskWith(tall, Prompter::kYesNo,
                      [](QMessageBox* box) {
                          for (QAbstractButton* button : box->buttons())
                              if (box->buttonRole(button) == QMessageBox::ActionRole)
                                  button->click();
                          QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                      }),
              Prompter::kIdYes);
    // A caption longer than the text's lines is never cut by the title bar.
    MessageBoxPrompter prompter;
    const QString caption = QStringLiteral("Undo Last Replacement");
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QFont bold = box->font();
        bold.setBold(true);
        EXPECT_GE(box->width(), QFontMetrics(bold).horizontalAdvance(caption) + 100);
        box->button(QMessageBox::Ok)->click();
    });
    prompter.Ask(QStringLiteral("Restored 1 file."), caption, Prompter::kOk, Prompter::kNoIcon);
}

// The program as it runs its window until it closes: F1 in the main window, in the About box
// over it, and in a prompt, never with Shift held; then it saves under its own name.
TEST(PromptsTest, F1OpensTheHelpFromEveryWindowOfTheProgram) {
    QTemporaryDir folder;
    QFile(folder.filePath("RunTest.TXT")).open(QIODevice::WriteOnly);
    test::RecordingShell shell;
    CSearchApp app(shell, folder.filePath("RunTest"));
    QString told;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<CSearchDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        QApplication::setActiveWindow(window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_F1);
        QTest::keyClick(window, Qt::Key_F1, Qt::ShiftModifier);
        QTimer::singleShot(0, [] {
            QWidget* about = QApplication::activeModalWidget();
            QTest::keyClick(about, Qt::Key_F1);
            about->close();
        });
        window->OnCommand(kCmdAbout);
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QTest::keyClick(box, Qt::Key_F1);
            box->button(QMessageBox::Yes)->click();
        });
        window->OnNewQuery();
        // Help > Help Topics opens it too; where the desktop cannot, a box says why.
        window->OnCommand(kCmdHelpTopics);
        shell.m_bDocumentOpens = false;
        shell.m_strFailure = "xdg-open is not installed";
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            told = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        window->OnCommand(kCmdHelpTopics);
        window->close();
    });
    EXPECT_EQ(app.InitInstance(), 0);
    EXPECT_EQ(shell.m_calls, QStringList(5, "open " + folder.filePath("RunTest.TXT")));
    EXPECT_EQ(told, "Cannot open the help file " + folder.filePath("RunTest.TXT") +
                        ":\nxdg-open is not installed.");
    // The window says which launcher entry it belongs to.
    EXPECT_EQ(QGuiApplication::desktopFileName(), "org.example.PellumarSearch");
    EXPECT_EQ(QSettings("KVT", "RunTest").value("Options/Column Two").toInt(), 160);
}

}  // namespace
}  // namespace pellumar
