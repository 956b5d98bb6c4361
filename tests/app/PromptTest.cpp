// The message boxes as the window shows them: plain text, the first button the default one,
// questions that only a button answers, long texts kept on the screen, and F1 from any window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "AppDoubles.h"
#include "CSearchApp.h"
#include "CSearchDlg.h"
#include "MessageBoxPrompter.h"
#include "PromptText.h"
#include "ResourceIds.h"

namespace pellumar {
namespace {

using namespace res;

// Asks through the real message box, doing `act` on it once it is up.
int AskWith(const QString& text, Prompter::Buttons buttons, std::function<void(QMessageBox*)> act) {
    MessageBoxPrompter prompter;
    QTimer::singleShot(0, [act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        act(box);
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
    for (const QString& text : {tall, wide, tall + wide}) {
        AskWith(text, Prompter::kYesNo, [&](QMessageBox* box) {
            EXPECT_EQ(box->detailedText(), text);
            EXPECT_LE(box->text().count(QLatin1Char('\n')), kPromptLines - 1);
            EXPECT_TRUE(box->text().contains(QChar(0x2026)));  // a visible ellipsis
            for (const QString& line : box->text().split(QLatin1Char('\n')))
                EXPECT_LE(line.size(), kPromptColumns);
            EXPECT_LE(box->sizeHint().height(), 1024 - 64);
            box->button(QMessageBox::No)->click();
        });
    }
    EXPECT_EQ(ShortenedForBox(QStringLiteral("fits\nin the box")),
              QStringLiteral("fits\nin the box"));
}

// The program as it runs its window until it closes: F1 in the main window, in the About box
// over it, and in a prompt, never with Shift held; then it saves under its own name.
TEST(PromptsTest, F1OpensTheHelpFromEveryWindowOfTheProgram) {
    QTemporaryDir folder;
    QFile(folder.filePath("RunTest.TXT")).open(QIODevice::WriteOnly);
    test::RecordingShell shell;
    CSearchApp app(shell, folder.filePath("RunTest"));
    QTimer::singleShot(0, [] {
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
        window->close();
    });
    EXPECT_EQ(app.InitInstance(), 0);
    EXPECT_EQ(shell.m_calls, QStringList(3, "open " + folder.filePath("RunTest.TXT")));
    // The window says which launcher entry it belongs to.
    EXPECT_EQ(QGuiApplication::desktopFileName(), "org.example.PellumarSearch");
    EXPECT_EQ(QSettings("KVT", "RunTest").value("Options/Column Two").toInt(), 160);
}

}  // namespace
}  // namespace pellumar
