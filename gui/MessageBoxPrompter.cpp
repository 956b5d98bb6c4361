#include "MessageBoxPrompter.h"

#include "ActionRules.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QSpacerItem>

#include "PromptText.h"

namespace pellumar {
namespace {

// The icon and the buttons of a title bar, beside its caption.
constexpr int kTitleBarRoom = 140;

QMessageBox::StandardButtons ButtonsOf(Prompter::Buttons buttons) {
    switch (buttons) {
        case Prompter::kOkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Prompter::kAbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        case Prompter::kYesNo:
        case Prompter::kYesNoPreview:
            return QMessageBox::Yes | QMessageBox::No;
        case Prompter::kOk:
            break;
    }
    return QMessageBox::Ok;
}

// The first button is the default one: Enter answers Yes, OK or Abort whatever the theme.
QMessageBox::StandardButton FirstOf(Prompter::Buttons buttons) {
    switch (buttons) {
        case Prompter::kAbortRetryIgnore:
            return QMessageBox::Abort;
        case Prompter::kYesNo:
        case Prompter::kYesNoPreview:
            return QMessageBox::Yes;
        case Prompter::kOk:
        case Prompter::kOkCancel:
            break;
    }
    return QMessageBox::Ok;
}

// A box whose question must be answered by a button: neither Escape nor the close box ends it.
class AnsweredBox final : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;
    void SetButtonsOnly(bool on) {
        m_bButtonsOnly = on;
        setWindowFlag(Qt::WindowCloseButtonHint, !on);
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (m_bButtonsOnly && event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (m_bButtonsOnly) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }

  private:
    bool m_bButtonsOnly = false;
};

int AnswerOf(int button) {
    switch (button) {
        case QMessageBox::Ok:
            return Prompter::kIdOk;
        case QMessageBox::Abort:
            return Prompter::kIdAbort;
        case QMessageBox::Retry:
            return Prompter::kIdRetry;
        case QMessageBox::Ignore:
            return Prompter::kIdIgnore;
        case QMessageBox::Yes:
            return Prompter::kIdYes;
        case QMessageBox::No:
            return Prompter::kIdNo;
        default:
            return Prompter::kIdCancel;
    }
}

// Under the first filter, only the files that may be run, and the folders to reach them.
class ProgramsOnly final : public QSortFilterProxyModel {
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetOn(bool on) {
        m_bOn = on;
        invalidateFilter();
    }

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = static_cast<QFileSystemModel*>(sourceModel());
        const QModelIndex index = files->index(row, 0, parent);
        return !m_bOn || files->isDir(index) || files->fileInfo(index).isExecutable();
    }

  private:
    bool m_bOn = true;
};

// What a box can show on the screen it opens on.
BoxLimits ScreenLimits(const QMessageBox& box) {
    const QWidget* owner = box.parentWidget();
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QFontMetrics metrics = box.fontMetrics();
    return LimitsFor(room.width(), room.height(), metrics.averageCharWidth(),
                     metrics.lineSpacing());
}

// Alt and the underlined letter answer as a click would.
void GiveMnemonics(QMessageBox& box) {
    const std::pair<QMessageBox::StandardButton, const char*> texts[] = {
        {QMessageBox::Abort, "&Abort"},
        {QMessageBox::Retry, "&Retry"},
        {QMessageBox::Ignore, "&Ignore"},
        {QMessageBox::Yes, "&Yes"},
        {QMessageBox::No, "&No"}};
    for (const auto& [which, text] : texts) {
        if (QAbstractButton* button = box.button(which))
            button->setText(QString::fromLatin1(text));
    }
}

// Show Details takes the focus when clicked, and with it Enter: the default button gets both
// back.
void KeepDefaultAfterDetails(QMessageBox& box) {
    for (QAbstractButton* button : box.buttons()) {
        if (box.buttonRole(button) != QMessageBox::ActionRole)
            continue;
        if (auto* push = qobject_cast<QPushButton*>(button))
            push->setAutoDefault(false);
        QObject::connect(button, &QAbstractButton::clicked, &box, [&box] {
            if (QPushButton* answer = box.defaultButton())
                answer->setFocus(Qt::OtherFocusReason);
        });
    }
}

// A box is as wide as its caption, so that the title bar never cuts it.
void MakeRoomForCaption(QMessageBox& box, const QString& caption) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr)
        return;
    QFont title = box.font();
    title.setBold(true);  // title bars often are
    const int width = QFontMetrics(title).horizontalAdvance(caption) + kTitleBarRoom;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

int MessageBoxPrompter::Ask(const QString& text, const QString& caption, Buttons buttons,
                            Icon icon) {
    const QMessageBox::Icon shown = icon == kExclamation ? QMessageBox::Warning
                                    : icon == kQuestion  ? QMessageBox::Question
                                                         : QMessageBox::NoIcon;
    AnsweredBox box(shown, caption, QString(), ButtonsOf(buttons), m_pOwner);
    // User and file texts are shown as they are, never as rich text, and kept on the screen.
    box.setTextFormat(Qt::PlainText);
    const QString shortened = ShortenedForBox(text, ScreenLimits(box));
    box.setText(shortened);
    if (shortened != text)
        box.setDetailedText(text);
    box.setDefaultButton(FirstOf(buttons));
    box.SetButtonsOnly(buttons == kAbortRetryIgnore);
    GiveMnemonics(box);
    KeepDefaultAfterDetails(box);
    MakeRoomForCaption(box, caption);
    QPushButton* preview = buttons == kYesNoPreview ? box.addButton(QStringLiteral("&Preview..."),
                                                                    QMessageBox::ApplyRole)
                                                    : nullptr;
    const int answer = box.exec();
    return preview != nullptr && box.clickedButton() == preview ? kIdPreview : AnswerOf(answer);
}

QString MessageBoxPrompter::ChooseProgram(QWidget* owner) {
    QFileDialog chooser(owner);
    chooser.setOption(QFileDialog::DontUseNativeDialog);  // so that the filter below applies
    chooser.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = ProgramFilters();
    chooser.setNameFilters(filters);
    auto* proxy = new ProgramsOnly(&chooser);
    chooser.setProxyModel(proxy);
    QObject::connect(
        &chooser, &QFileDialog::filterSelected, proxy,
        [proxy, first = filters.first()](const QString& f) { proxy->SetOn(f == first); });
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return {};
    return chooser.selectedFiles().first();
}

QString MessageBoxPrompter::ChooseFolder(const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(m_pOwner, title, start);
}

}  // namespace pellumar
