#include "MessageBoxPrompter.h"

#include "ActionRules.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSortFilterProxyModel>

#include "PromptText.h"

namespace pellumar {
namespace {

QMessageBox::StandardButtons ButtonsOf(Prompter::Buttons buttons) {
    switch (buttons) {
        case Prompter::kOkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Prompter::kAbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        case Prompter::kYesNo:
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

}  // namespace

int MessageBoxPrompter::Ask(const QString& text, const QString& caption, Buttons buttons,
                            Icon icon) {
    const QMessageBox::Icon shown = icon == kExclamation ? QMessageBox::Warning
                                    : icon == kQuestion  ? QMessageBox::Question
                                                         : QMessageBox::NoIcon;
    // User and file texts are shown as they are, never as rich text, and kept on the screen.
    const QString shortened = ShortenedForBox(text);
    AnsweredBox box(shown, caption, shortened, ButtonsOf(buttons), m_pOwner);
    box.setTextFormat(Qt::PlainText);
    if (shortened != text)
        box.setDetailedText(text);
    box.setDefaultButton(FirstOf(buttons));
    box.SetButtonsOnly(buttons == kAbortRetryIgnore);
    return AnswerOf(box.exec());
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

QString MessageBoxPrompter::ChooseFolder(const QString& title) {
    return QFileDialog::getExistingDirectory(m_pOwner, title);
}

}  // namespace pellumar
