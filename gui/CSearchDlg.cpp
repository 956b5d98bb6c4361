#include "CSearchDlg.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "Artwork.h"
#include "CAboutDlg.h"
#include "CActionDlg.h"
#include "DialogBuilder.h"
#include "NotificationQueue.h"
#include "ResourceIds.h"
#include "ResultsModel.h"
#include "UndoStore.h"
#include "WindowRules.h"

namespace pellumar {
namespace {

using namespace res;

constexpr std::int32_t SearchOptions::*kColumnWidths[] = {
    &SearchOptions::m_nColumnOne, &SearchOptions::m_nColumnTwo, &SearchOptions::m_nColumnThree,
    &SearchOptions::m_nColumnFour, &SearchOptions::m_nColumnFive};
constexpr int kToggleCommands[] = {kCmdIgnoreCase,  kCmdSearchConfirmation, kCmdWantTab,
                                   kCmdHiddenFiles, kCmdKeepUndo,           kCmdRegex};

// A check box shows 0 off, 1 on, 2 undecided; any other value shows off and becomes 0.
void ShowCheck(QWidget* widget, std::int32_t& value) {
    auto* box = static_cast<QCheckBox*>(widget);
    value = CheckBoxValue(value);
    box->setTristate(value == 2);
    box->setCheckState(value == 2 ? Qt::PartiallyChecked
                                  : (value == 1 ? Qt::Checked : Qt::Unchecked));
}

std::int32_t ReadCheck(QWidget* widget) {
    switch (static_cast<QCheckBox*>(widget)->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

}  // namespace

CSearchDlg::CSearchDlg(SettingsStore& store, Prompter& prompter, Shell& shell, Sys& sys,
                       QWidget* parent)
    : QDialog(parent),
      m_options(store),
      m_comboFilter(store),
      m_comboLookIn(store),
      m_hIcon(ApplicationIcon()),
      m_prompter(prompter),
      m_shell(shell),
      m_sys(sys),
      m_strUndoFolder(UndoStore::DefaultFolder()),
      m_pQueue(std::make_unique<NotificationQueue>()) {
    BuildWindow();
}

CSearchDlg::~CSearchDlg() {
    EndWorker();
    SaveColumnWidths();
}

QWidget* CSearchDlg::Control(int id) const {
    auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

void CSearchDlg::BuildWindow() {
    const DialogTemplate& dialog = MainDialogTemplate();
    setWindowTitle(QString::fromUtf8(dialog.caption));
    // A window of its own with a taskbar entry, which can be minimised but never resized or
    // maximised.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_pMenuBar = BuildMenuBar(MainMenuTemplate(), this, [this](int id) {
        if (!OnCommand(id) && id == kCmdClose)
            OnOK();
    });
    layout->setMenuBar(m_pMenuBar);
    ConnectUndoItem();
    auto* client = new QWidget(this);
    client->setFixedSize(ClientSize(dialog, BaseUnitsOf(client->font())));
    layout->addWidget(client);

    m_controls = BuildControls(client, dialog,
                               {{kIdReplaceText, &m_editReplace},
                                {kIdSearchText, &m_editSearch},
                                {kIdAnimation, &m_animate},
                                {kIdResults, &m_listResults},
                                {kIdFilter, &m_comboFilter},
                                {kIdLookIn, &m_comboLookIn},
                                {kIdTabPages, &m_tabPages}});
    // The page controls lie on the tab control, so it goes beneath them.
    m_tabPages.lower();
    for (CTabEdit* edit : {&m_editSearch, &m_editReplace}) {
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->SetWantTab([this] { return m_options.m_bWantTab != 0; });
    }
    SetUpResultsList();
    ConnectButtons();
    m_takeTimer.setSingleShot(true);
    connect(&m_takeTimer, &QTimer::timeout, this, &CSearchDlg::ContinueTaking);
    m_showRowsTimer.setSingleShot(true);
    connect(&m_showRowsTimer, &QTimer::timeout, this, &CSearchDlg::ShowPendingRows);
    m_progressTimer.setInterval(100);
    connect(&m_progressTimer, &QTimer::timeout, this, &CSearchDlg::ShowProgress);
    static_cast<QLabel*>(Control(kIdSummary))->setTextFormat(Qt::PlainText);
    for (int id : {kIdSubfolders, kIdSearchOnly}) {
        auto* box = static_cast<QCheckBox*>(Control(id));
        // A click leaves an undecided box decided.
        connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });
    }
    connect(static_cast<QCheckBox*>(Control(kIdSearchOnly)), &QCheckBox::clicked, this,
            &CSearchDlg::OnSearchOnly);
}

// A list of whole rows, many of them selected at once, that is never edited.
void CSearchDlg::SetUpResultsList() {
    m_listResults.setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listResults.setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listResults.setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pResultsModel = new ResultsModel(this);
    m_pResultsModel->SetFileTypes(&m_fileTypes);
    m_listResults.setModel(m_pResultsModel);
    connect(&m_listResults, &ResultsView::doubleClicked, this, &CSearchDlg::OnResultDblClk);
    connect(&m_listResults, &ResultsView::openRequested, this, &CSearchDlg::OnResultDblClk);
    BuildResultsMenu();
}

void CSearchDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
        PlaceOnScreen();
    }
    QDialog::showEvent(event);
}

void CSearchDlg::PlaceOnScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    QSize frame = frameGeometry().size();
    if (frame == size())  // before the window manager frames it, a title bar is guessed
        frame.rheight() += style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const Spot spot =
        CentredSpot(area.x(), area.y(), area.width(), area.height(), frame.width(), frame.height());
    move(spot.x, spot.y);
}

void CSearchDlg::OnInitDialog() {
    UpdateData(false);
    setWindowIcon(m_hIcon);
    m_tabPages.addTab(new QWidget(&m_tabPages), QStringLiteral("Query"));
    m_tabPages.addTab(new QWidget(&m_tabPages), QStringLiteral("Results"));
    m_tabPages.setCurrentIndex(kPageQuery);
    connect(&m_tabPages, &QTabWidget::currentChanged, this, &CSearchDlg::ShowPage);
    ShowPage();
    SetUpRecentCombo(m_comboLookIn, "Look In Folders MRU", "dir%d");
    SetUpRecentCombo(m_comboFilter, "Filters MRU", "filter%d");
    InsertColumns();
    UpdateCheckMarks();
    UpdateData(true);
    EnableReplaceBox();
    m_animate.Open();
    m_animate.ShowFirstFrame();
    // The type database loads once, here, rather than while the first results come in.
    m_fileTypes.Of(QStringLiteral("a.txt"));
}

void CSearchDlg::SetUpRecentCombo(CRecentCombo& combo, const char* section, const char* format) {
    RecentComboModel& model = combo.Model();
    model.SetSection(section);
    model.SetEntryFormat(format);
    model.SetMaxEntries(10);
    model.SetRefillOnAdd(true);
    model.SetSaveOnAdd(true);
    model.SetSaveOnDestroy(true);
    model.LoadEntries();
    combo.RefillDropDown();
    if (combo.count() > 0)
        combo.setCurrentIndex(0);
}

void CSearchDlg::InsertColumns() {
    QHeaderView* header = m_listResults.header();
    header->setStretchLastSection(false);
    // A heading sorts by its column, again the other way; a new search sorts by name again.
    header->setSortIndicator(0, Qt::AscendingOrder);
    m_listResults.setSortingEnabled(true);
    for (int column = 0; column < static_cast<int>(std::size(kColumnWidths)); ++column)
        header->resizeSection(column, ColumnWidth(column));
    // Connected only now, so that setting the widths above saves nothing half-done.
    connect(header, &QHeaderView::sectionResized, this, &CSearchDlg::SaveColumnWidths);
}

// A column at its default width is kept as the default, which grows with the font, so that a
// size, a type name and a time read in full in any font; a width the user set is kept as it is.
int CSearchDlg::ScaledDefaultWidth(int column) const {
    const char* const usual[] = {"", "", "1023.9kB", "plain text document", "12/31/99 12:59PM"};
    const QFontMetrics metrics(m_listResults.font());
    const int margin =
        m_listResults.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &m_listResults) +
        1;
    const int fits =
        *usual[column] == '\0'
            ? 0
            : metrics.horizontalAdvance(QString::fromLatin1(usual[column])) + 4 * margin;
    return DefaultColumnWidth(SearchOptions::DefaultOf(kColumnWidths[column]),
                              BaseUnitsOf(font()).x, fits);
}

int CSearchDlg::ColumnWidth(int column) {
    const auto field = kColumnWidths[column];
    m_defaultWidths[static_cast<std::size_t>(column)] = ScaledDefaultWidth(column);
    return m_options.*field == SearchOptions::DefaultOf(field)
               ? m_defaultWidths[static_cast<std::size_t>(column)]
               : m_options.*field;
}

void CSearchDlg::SaveColumnWidths() {
    if (!m_bInitialised)
        return;
    const QHeaderView* header = m_listResults.header();
    for (int column = 0; column < static_cast<int>(std::size(kColumnWidths)); ++column) {
        const auto field = kColumnWidths[column];
        const int width = header->sectionSize(column);
        m_options.*field = width == m_defaultWidths[static_cast<std::size_t>(column)]
                               ? SearchOptions::DefaultOf(field)
                               : width;
    }
}

void CSearchDlg::UpdateCheckMarks() {
    for (int command : kToggleCommands) {
        auto* action = m_pMenuBar->findChild<QAction*>(QString::number(command));
        if (action != nullptr)
            action->setChecked(ToggleState(m_options, command).value_or(false));
    }
}

void CSearchDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_strFilter = m_comboFilter.currentText();
        m_strFolder = m_comboLookIn.currentText();
        m_strSearch = m_editSearch.TypedText();
        m_strReplace = m_editReplace.TypedText();
        m_options.m_bSearchOnly = ReadCheck(Control(kIdSearchOnly));
        m_options.m_bIncludeSubdirs = ReadCheck(Control(kIdSubfolders));
        return;
    }
    m_comboFilter.setEditText(m_strFilter);
    m_comboLookIn.setEditText(m_strFolder);
    m_editSearch.setPlainText(m_strSearch);
    m_editReplace.setPlainText(m_strReplace);
    ShowCheck(Control(kIdSearchOnly), m_options.m_bSearchOnly);
    ShowCheck(Control(kIdSubfolders), m_options.m_bIncludeSubdirs);
}

void CSearchDlg::ShowPage() {
    for (const ShowStep& step : ShowPageSteps(m_tabPages.currentIndex()))
        Control(step.id)->setVisible(step.show);
}

void CSearchDlg::OnSearchOnly() {
    UpdateData(true);
    EnableReplaceBox();
}

void CSearchDlg::EnableReplaceBox() {
    m_editReplace.setEnabled(ReplaceEnabled(m_options.m_bSearchOnly));
}

bool CSearchDlg::OnCommand(int id) {
    if (ToggleOption(m_options, id)) {
        UpdateCheckMarks();
        return true;
    }
    if (id == kCmdUndoLast) {
        OnUndoLast();
        return true;
    }
    if (id == kCmdHelpTopics) {
        if (m_onHelp)
            m_onHelp();
        return true;
    }
    if (id == kCmdAbout) {
        CAboutDlg about(m_shell, m_prompter, this);
        about.DoModal();
        return true;
    }
    if (id == kCmdDoubleClicking) {
        CActionDlg action(m_prompter, this);
        action.m_nAction = m_options.m_nDoubleClickAction;
        action.m_strViewer = QString::fromStdString(m_options.m_strFileViewer);
        action.DoModal();
        // Both come back whichever button closed it; Cancel leaves them as they were.
        m_options.m_nDoubleClickAction = action.m_nAction;
        m_options.m_strFileViewer = action.m_strViewer.toStdString();
        return true;
    }
    return false;
}

}  // namespace pellumar
