// The About box with its link, and the dialog that sets what a double-click on a result does.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "AppDoubles.h"
#include "CAboutDlg.h"
#include "CActionDlg.h"
#include "CSearchDlg.h"
#include "LinkRules.h"
#include "MemorySettingsStore.h"

namespace pellumar {
namespace {

using namespace res;

TEST(DialogsTest, LinkRulesOnPlainValues) {
    auto fit = [](bool vcenter, bool center, bool right, int cx) {
        const LinkRect r = FitRect({10, 20, 110, 40}, cx, 8, vcenter, center, right);
        return std::vector<int>{r.left, r.top, r.right, r.bottom};
    };
    EXPECT_EQ(fit(false, false, true, 37), std::vector<int>({73, 20, 110, 28}));
    EXPECT_EQ(fit(false, true, false, 37), std::vector<int>({41, 20, 79, 28}));    // one wider
    EXPECT_EQ(fit(true, true, false, 141), std::vector<int>({-10, 26, 130, 34}));  // one narrower
    EXPECT_EQ(FallbackCommand("\"C:\\b.exe\" \"%1\" -x", "u"), "\"C:\\b.exe\"  u");
    EXPECT_EQ(FallbackCommand("browser", "u"), "browser u");
    EXPECT_EQ(OpenErrorText(-7), "Unable to open hyperlink:\n\nUnknown Error (-7) occurred.");
    // On a dark theme the described colours do not read (1.36:1 for the link on #323232).
    const Rgb dark{0x32, 0x32, 0x32}, light{0xEF, 0xEF, 0xEF};
    EXPECT_NEAR(ContrastRatio({0, 0, 238}, dark), 1.36, 0.01);
    EXPECT_EQ(ReadableLinkColor({238, 0, 0}, {0, 0, 255}, light), (Rgb{238, 0, 0}));
    EXPECT_EQ(ReadableLinkColor({0, 0, 238}, {0x8A, 0xB4, 0xF8}, dark), (Rgb{0x8A, 0xB4, 0xF8}));
}

class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_about = std::make_unique<CAboutDlg>(m_shell, m_prompter);
        m_about->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_about.get()));
    }
    void Move(QPoint at) { QTest::mouseMove(&m_about->Link(), at); }
    void Click() { QTest::mouseClick(&m_about->Link(), Qt::LeftButton, {}, {2, 2}); }

    test::RecordingShell m_shell;
    test::ScriptedPrompter m_prompter;
    std::unique_ptr<CAboutDlg> m_about;
};

// The link is as large as its text; its colour follows hover and visit, hovering winning, and
// ends its hover when the pointer leaves or another window takes the grab. A click the desktop
// cannot open tries the web handler, then says what the desktop said.
TEST_F(LinkTest, TheAboutBoxShowsAFittedLinkWhoseColourFollowsHoverAndVisit) {
    CUrlLabel& link = m_about->Link();
    EXPECT_EQ(link.Url(), "https://pellumar-search.example.org/");
    EXPECT_EQ(link.toolTip(), link.Url());
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.size(), link.fontMetrics().size(Qt::TextSingleLine, link.text()));
    EXPECT_EQ(link.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(link.TextColor(), QColor(0, 0, 238));
    EXPECT_EQ(m_about->windowTitle(), "About PellumarSearch");
    QStringList tips;
    for (const QLabel* label : m_about->findChildren<QLabel*>())
        tips << label->toolTip();
    EXPECT_GE(tips.size(), 5);
    EXPECT_TRUE(tips.contains("Version 1.1.0.2"));
    link.SetHoverCursor(std::nullopt);
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    Move({2, 2});
    EXPECT_TRUE(link.IsOver());
    EXPECT_EQ(link.TextColor(), QColor(238, 0, 0));
    EXPECT_EQ(QWidget::mouseGrabber(), &link);
    Click();
    EXPECT_EQ(m_shell.m_calls, QStringList{"url " + link.Url()});
    EXPECT_TRUE(link.IsVisited());
    Move({link.width() + 20, 2});
    EXPECT_FALSE(link.IsOver());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(link.TextColor(), QColor(85, 26, 139));
    Move({2, 2});
    EXPECT_EQ(link.TextColor(), QColor(238, 0, 0));
    link.releaseMouse();
    QEvent ungrab(QEvent::UngrabMouse);
    QApplication::sendEvent(&link, &ungrab);
    EXPECT_FALSE(link.IsOver());
    link.SetTextColors(Qt::blue, Qt::green);
    EXPECT_EQ(link.TextColor(), QColor(Qt::green));

    m_shell.m_bUrlOpens = false;
    m_shell.m_strHandler = "firefox-esr %u";
    Click();
    EXPECT_EQ(m_shell.m_calls.last(), "start firefox-esr [" + link.Url() + "] in ");
    EXPECT_TRUE(link.IsVisited());
    m_shell.m_strHandler.clear();
    m_shell.m_strFailure = "xdg-open is not installed";
    Click();
    EXPECT_FALSE(link.IsVisited());
    EXPECT_TRUE(m_prompter.m_asked.last().endsWith(
        "Unable to open hyperlink:\n\nThe desktop could not open it: xdg-open is not installed.\n"
        "No program is set to open web pages (text/html)."))
        << m_prompter.m_asked.last().toStdString();
    m_shell.m_strHandler = "browser \"%1\"";
    m_shell.m_bProgramStarts = false;
    Click();
    EXPECT_TRUE(m_prompter.m_asked.last().endsWith("The specified file was not found."));
}

// On a dark theme whose link colour does not read either, the link is made to read.
TEST_F(LinkTest, OnADarkThemeTheLinkStillReads) {
    QPalette darkTheme = QApplication::palette();
    darkTheme.setColor(QPalette::Window, QColor(0x32, 0x32, 0x32));
    darkTheme.setColor(QPalette::Link, QColor(0, 0, 200));
    m_about->setPalette(darkTheme);
    CUrlLabel& link = m_about->Link();
    const QColor window = link.palette().color(QPalette::Window);
    const auto contrast = [&](const QColor& c) {
        return ContrastRatio({c.red(), c.green(), c.blue()},
                             {window.red(), window.green(), window.blue()});
    };
    EXPECT_GE(contrast(link.TextColor()), kReadableContrast);
    Move({2, 2});
    EXPECT_GE(contrast(link.TextColor()), kReadableContrast);
    Move({link.width() + 20, 2});
}

// The program's field is enabled only for action two; OK reads the dialog, Cancel leaves the
// fields as they were; Browse fills in the program and leaves the buttons as the user set them.
// The Settings menu copies the choice into the options.
TEST(DialogsTest, TheActionDialogEnablesTheProgramOnlyForActionTwoAndOkReadsIt) {
    test::ScriptedPrompter prompter;
    const auto open = [&](int action) {
        auto dialog = std::make_unique<CActionDlg>(prompter);
        dialog->m_nAction = action;
        dialog->m_strViewer = "kate";
        dialog->OnInitDialog();
        dialog->show();
        return dialog;
    };
    const auto click = [](CActionDlg& dialog, int id) {
        QTest::mouseClick(dialog.Control(id), Qt::LeftButton);
    };
    const auto enabled = [](CActionDlg& dialog) {
        EXPECT_EQ(dialog.Control(kIdViewer)->isEnabled(),
                  dialog.Control(kIdViewerBrowse)->isEnabled());
        return dialog.Control(kIdViewer)->isEnabled();
    };
    for (int action : {0, 1, 2, 5}) {
        const auto dialog = open(action);
        EXPECT_EQ(enabled(*dialog), action == 2) << action;
        EXPECT_EQ(static_cast<QLineEdit*>(dialog->Control(kIdViewer))->text(), "kate");
        for (int id : {kIdActionNothing, kIdActionDefault, kIdActionProgram})
            EXPECT_EQ(static_cast<QRadioButton*>(dialog->Control(id))->isChecked(),
                      id - kIdActionNothing == action);
    }
    auto dialog = open(0);
    click(*dialog, kIdActionProgram);
    EXPECT_TRUE(enabled(*dialog));
    click(*dialog, kIdActionDefault);
    EXPECT_FALSE(enabled(*dialog));
    click(*dialog, kIdActionProgram);
    static_cast<QLineEdit*>(dialog->Control(kIdViewer))->setText("");
    click(*dialog, kIdOk);
    EXPECT_EQ(dialog->m_nAction, 2);
    EXPECT_EQ(dialog->m_strViewer, "");
    dialog = open(9);
    click(*dialog, kIdOk);
    EXPECT_EQ(dialog->m_nAction, -1);
    dialog = open(2);
    prompter.m_program = "/opt/My Viewer/view";
    click(*dialog, kIdActionNothing);
    dialog->OnBrowse();
    EXPECT_EQ(static_cast<QLineEdit*>(dialog->Control(kIdViewer))->text(), "/opt/My Viewer/view");
    EXPECT_TRUE(static_cast<QRadioButton*>(dialog->Control(kIdActionNothing))->isChecked());
    click(*dialog, kIdCancel);
    EXPECT_EQ(dialog->m_nAction, 2);
    EXPECT_EQ(dialog->m_strViewer, "kate");

    MemorySettingsStore store;
    test::RecordingShell shell;
    CSearchDlg window(store, prompter, shell);
    window.show();
    QTimer::singleShot(0, [] {
        auto* chosen = qobject_cast<CActionDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(chosen, nullptr);
        static_cast<QRadioButton*>(chosen->Control(kIdActionProgram))->click();
        static_cast<QLineEdit*>(chosen->Control(kIdViewer))->setText("gedit");
        static_cast<QPushButton*>(chosen->Control(kIdOk))->click();
    });
    EXPECT_TRUE(window.OnCommand(kCmdDoubleClicking));
    EXPECT_EQ(window.Options().m_nDoubleClickAction, 2);
    EXPECT_EQ(window.Options().m_strFileViewer, "gedit");
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_TRUE(window.OnCommand(kCmdAbout));
}

}  // namespace
}  // namespace pellumar
