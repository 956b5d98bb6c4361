// The message boxes as the window shows them: plain text, the first button the default one,
// questions that only a button answers, long texts kept on the screen, and F1 from any window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
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

TEST(PromptsTest, TextsAreShownAsTheyAreAndEnterAnswersTheFirstButton) {
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
}

TEST(PromptsTest, AbortRetryIgnoreIsAnsweredOnlyByItsButtons) {
    const int answer = AskWith("x", Prompter::kAbortRetryIgnore, [](QMessageBox* box) {
        QTest::keyClick(box, Qt::Key_Escape);
        box->close();
        EXPECT_TRUE(box->isVisible());
        box->button(QMessageBox::Retry)->click();
    });
    EXPECT_EQ(answer, Prompter::kIdRetry);
    // Elsewhere Escape stays the way out.
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

// The program as it runs: F1 in the main window, in the About box over it, and in a prompt;
// never with Shift held.
TEST(PromptsTest, F1OpensTheHelpFromEveryWindowOfTheProgram) {
    const QString folder = QDir::tempPath() + QStringLiteral("/pellumar-help-test");
    QDir().mkpath(folder);
    QFile text(folder + QStringLiteral("/PellumarSearch.TXT"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.close();
    test::RecordingShell shell;
    CSearchApp app(shell, folder + QStringLiteral("/PellumarSearch"));
    QTimer::singleShot(0, [] {
        auto* window = qobject_cast<CSearchDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
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
    app.InitInstance();
    EXPECT_EQ(shell.m_calls.size(), 3) << shell.m_calls.join("; ").toStdString();
    for (const QString& call : shell.m_calls)
        EXPECT_TRUE(call.endsWith(QStringLiteral("PellumarSearch.TXT"))) << call.toStdString();
    QDir(folder).removeRecursively();
}

}  // namespace
}  // namespace pellumar
