#include "CMatchesDlg.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "MatchesDelegate.h"
#include "MatchesModel.h"
#include "RunSummary.h"

namespace pellumar {

CMatchesDlg::CMatchesDlg(QWidget* parent)
    : QDialog(parent),
      m_pCaption(new QLabel(this)),
      m_pList(new QListView(this)),
      m_pModel(new MatchesModel(this)),
      m_pButtons(new QDialogButtonBox(this)) {
    setWindowFlag(Qt::Window);
    setSizeGripEnabled(true);
    setModal(false);
    m_pCaption->setTextFormat(Qt::PlainText);
    m_pList->setObjectName(QStringLiteral("matches"));
    m_pList->setModel(m_pModel);
    m_pList->setItemDelegate(new MatchesDelegate(m_pList));
    m_pList->setUniformItemSizes(true);  // a long list is laid out without asking every row
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->installEventFilter(this);
    // No button is the default one: Enter presses the button that has the focus, and in the
    // list opens a line. A replacement is never made by an Enter meant for something else.
    m_pReplace = m_pButtons->addButton(QStringLiteral("&Replace"), QDialogButtonBox::ActionRole);
    m_pCancel = m_pButtons->addButton(QDialogButtonBox::Cancel);
    m_pClose = m_pButtons->addButton(QDialogButtonBox::Close);
    connect(m_pReplace, &QPushButton::clicked, this, [this] {
        hide();
        emit replaceChosen();
    });
    connect(m_pCancel, &QPushButton::clicked, this, &CMatchesDlg::reject);
    connect(m_pClose, &QPushButton::clicked, this, &CMatchesDlg::reject);
    connect(m_pList, &QListView::doubleClicked, this, &CMatchesDlg::OpenCurrent);
    // A list scrolled to its end stays there while the lines of the files shown come in.
    connect(m_pModel, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar* bar = m_pList->verticalScrollBar();
        m_bAtEnd = bar->maximum() > 0 && bar->value() == bar->maximum();
    });
    connect(m_pModel, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_bAtEnd)
            m_pList->scrollToBottom();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pCaption);
    layout->addWidget(m_pList, 1);
    layout->addWidget(m_pButtons);
    resize(800, 500);
}

void CMatchesDlg::SetMode(bool preview, const QString& caption) {
    m_bPreview = preview;
    setWindowTitle(preview ? QStringLiteral("Preview") : QStringLiteral("Matches"));
    m_pCaption->setText(caption);
    m_pReplace->setVisible(preview);
    m_pCancel->setVisible(preview);
    m_pClose->setVisible(!preview);
    m_pReplace->setEnabled(false);
}

void CMatchesDlg::ShowMatches(const SearchRequest& request, std::vector<std::string> paths) {
    const QString files =
        paths.size() == 1
            ? QStringLiteral("1 file")
            : QStringLiteral("%1 files").arg(QString::fromStdString(CountText(paths.size())));
    SetMode(false, QStringLiteral("Lines of %1 that hold \"%2\"")
                       .arg(files, QString::fromLocal8Bit(request.search)));
    m_pModel->Reset(request, LineFetcher::Mode::Lines);
    m_pModel->AddFiles(std::move(paths));
}

void CMatchesDlg::BeginPreview(const SearchRequest& request) {
    SetMode(true, QStringLiteral("Lines that replacing \"%1\" with \"%2\" would change")
                      .arg(QString::fromLocal8Bit(request.search),
                           QString::fromLocal8Bit(request.replace)));
    m_pModel->Reset(request, LineFetcher::Mode::Changes);
}

void CMatchesDlg::AddFiles(std::vector<std::string> paths) {
    m_pModel->AddFiles(std::move(paths));
}

void CMatchesDlg::PreviewEnded(bool complete) {
    m_pReplace->setEnabled(m_bPreview && complete);
    if (m_bPreview && !complete) {
        m_pCaption->setText(m_pCaption->text() +
                            QStringLiteral("\nStopped before every file was looked at: Start "
                                           "again to see them all, and to replace."));
    }
}

void CMatchesDlg::OpenCurrent() {
    const QModelIndex current = m_pList->currentIndex();
    if (!current.isValid())
        return;
    const QChar kind = current.data(MatchesModel::kKindRole).toChar();
    const qulonglong line =
        kind == QLatin1Char('f') || kind == QLatin1Char('.') || kind == QLatin1Char('n')
            ? 0
            : current.data(MatchesModel::kOpenLineRole).toULongLong();
    emit openRequested(current.data(MatchesModel::kPathRole).toByteArray(), line);
}

// Enter in the list opens the current line, as a double-click does, and reaches no button.
bool CMatchesDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OpenCurrent();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CMatchesDlg::reject() {
    const bool cancelled = Previewing();
    QDialog::reject();
    if (cancelled)
        emit previewCancelled();
}

}  // namespace pellumar
