// The About box with its link, and the dialog that sets what a double-click on a result does.
#include <QLineEdit>
#include <QRadioButton>

#include "CAboutDlg.h"
#include "CActionDlg.h"
#include "LinkRules.h"
#include "SearchWindowFixture.h"

namespace pellumar {

// Each with the doubles of the window's cases; the About box alone opens no window.
using LinkTest = WindowTest;
using DialogsTest = WindowTest;

// The link is as large as its text; its colour follows hover and visit, hovering winning, and
// ends its hover when the pointer leaves or another window takes the grab. A click the desktop
// cannot open tries the web handler, then says what the desktop said. On a dark theme the link
// still reads.
TEST_F(LinkTest, TheAboutBoxShowsAFittedLinkWhoseColourFollowsHoverAndVisit) {
    CAboutDlg about(m_shell, m_prompter);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    CUrlLabel& link = about.Link();
    // The link's state and colour, after the pointer moves onto it or off it, or clicks it.
    const auto state = [&link] {
        return QString(link.IsOver() ? "over " : "") + (link.IsVisited() ? "visited " : "") +
               link.TextColor().name();
    };
    const auto move = [&](bool on) {
        QTest::mouseMove(&link, {on ? 2 : link.width() + 20, 2});
        return state();
    };
    const auto click = [&] {
        QTest::mouseClick(&link, Qt::LeftButton, {}, {2, 2});
        return state();
    };
    EXPECT_EQ(link.toolTip(), "https://pellumar-search.example.org/");
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.size(), link.fontMetrics().size(Qt::TextSingleLine, link.text()));
    EXPECT_EQ(link.cursor().shape(), Qt::BitmapCursor);
    QStringList tips;
    for (const QLabel* label : about.findChildren<QLabel*>())
        tips << label->toolTip();
    EXPECT_TRUE(tips.contains("Version 1.1.0.2"));
    EXPECT_EQ(state(), "#0000ee");
    EXPECT_EQ(move(true), "over #ee0000");
    EXPECT_EQ(click(), "over visited #ee0000");
    EXPECT_EQ(m_shell.m_calls, QStringList{"url " + link.Url()});
    EXPECT_EQ(move(false), "visited #551a8b");
    EXPECT_EQ(move(true), "over visited #ee0000");
    link.releaseMouse();
    QEvent ungrab(QEvent::UngrabMouse);
    QApplication::sendEvent(&link, &ungrab);
    EXPECT_EQ(state(), "visited #551a8b");

    m_shell.m_bDocumentOpens = false;
    m_shell.m_strHandler = "firefox-esr %u";
    click();
    EXPECT_EQ(m_shell.m_calls.last(), "start firefox-esr [" + link.Url() + "] in ");
    EXPECT_TRUE(link.IsVisited());
    m_shell.m_strHandler.clear();
    m_shell.m_strFailure = "xdg-open is not installed";
    click();
    EXPECT_FALSE(link.IsVisited());
    EXPECT_TRUE(m_prompter.m_asked.last().endsWith(
        "Unable to open hyperlink:\n\nThe desktop could not open it: xdg-open is not installed.\n"
        "No program is set to open web pages (text/html)."));
    m_shell.m_strHandler = "browser \"%1\"";
    m_shell.m_bProgramStarts = false;
    click();
    EXPECT_TRUE(m_prompter.m_asked.last().endsWith("The specified file was not found."));
    EXPECT_EQ(FallbackCommand("\"C:\\b.exe\" \"%1\" -x", "u"), "\"C:\\b.exe\"  u");

    // On a dark theme the described colours do not read (1.36:1 for the link on #323232), nor
    // here the theme's link colour: the link is made to read, hovered or not.
    EXPECT_EQ(ReadableLinkColor({0, 0, 238}, {0x8A, 0xB4, 0xF8}, {0x32, 0x32, 0x32}),
              (Rgb{0x8A, 0xB4, 0xF8}));  // a theme's colour that reads is kept
    QPalette darkTheme = QApplication::palette();
    darkTheme.setColor(QPalette::Window, QColor(0x32, 0x32, 0x32));
    darkTheme.setColor(QPalette::Link, QColor(0, 0, 200));
    about.setPalette(darkTheme);
    for (const bool over : {true, false}) {
        move(over);
        const QColor c = link.TextColor();
        EXPECT_GE(ContrastRatio({c.red(), c.green(), c.blue()}, {0x32, 0x32, 0x32}),
                  kReadableContrast);
    }
}

// The program's field is enabled only for action two; OK reads the dialog, Cancel leaves the
// fields as they were; Browse fills in the program and leaves the buttons as the user set them.
// The Settings menu copies the choice into the options.
TEST_F(DialogsTest, TheActionDialogEnablesTheProgramOnlyForActionTwoAndOkReadsIt) {
    std::unique_ptr<CActionDlg> dialog;
    const auto viewer = [&] { return static_cast<QLineEdit*>(dialog->Control(kIdViewer)); };
    // The buttons checked, whether the program's field and its Browse are enabled, the program.
    const auto state = [&](int click = 0) {
        if (click != 0)
            QTest::mouseClick(dialog->Control(click), Qt::LeftButton);
        QString shown;
        for (int id : {kIdActionNothing, kIdActionDefault, kIdActionProgram})
            shown += static_cast<QRadioButton*>(dialog->Control(id))->isChecked() ? '1' : '0';
        return shown + (viewer()->isEnabled() ? " 1" : " 0") +
               (dialog->Control(kIdViewerBrowse)->isEnabled() ? "1 " : "0 ") + viewer()->text();
    };
    const auto open = [&](int action) {
        dialog = std::make_unique<CActionDlg>(m_prompter);
        dialog->m_nAction = action;
        dialog->m_strViewer = "kate";
        dialog->OnInitDialog();
        dialog->show();
        return state();
    };
    EXPECT_EQ(open(0), "100 00 kate");
    EXPECT_EQ(open(2), "001 11 kate");
    EXPECT_EQ(state(kIdActionDefault), "010 00 kate");
    EXPECT_EQ(state(kIdActionProgram), "001 11 kate");
    viewer()->setText("");
    state(kIdOk);
    EXPECT_EQ(std::pair(dialog->m_nAction, dialog->m_strViewer), std::pair(2, QString()));
    EXPECT_EQ(open(9), "000 00 kate");
    state(kIdOk);
    EXPECT_EQ(dialog->m_nAction, -1);
    open(2);
    m_prompter.m_program = "/opt/My Viewer/view";
    state(kIdActionNothing);
    dialog->OnBrowse();
    EXPECT_EQ(state(kIdCancel), "100 00 /opt/My Viewer/view");  // as the user left them
    EXPECT_EQ(std::pair(dialog->m_nAction, dialog->m_strViewer), std::pair(2, QString("kate")));

    CSearchDlg& window = Open();
    QTimer::singleShot(0, [] {
        auto* chosen = qobject_cast<CActionDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(chosen, nullptr);
        QTest::mouseClick(chosen->Control(kIdActionProgram), Qt::LeftButton);
        static_cast<QLineEdit*>(chosen->Control(kIdViewer))->setText("gedit");
        QTest::mouseClick(chosen->Control(kIdOk), Qt::LeftButton);
    });
    EXPECT_TRUE(window.OnCommand(kCmdDoubleClicking));
    EXPECT_EQ(window.Options().m_nDoubleClickAction, 2);
    EXPECT_EQ(window.Options().m_strFileViewer, "gedit");
}

}  // namespace pellumar
