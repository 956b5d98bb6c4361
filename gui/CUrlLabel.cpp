#include "CUrlLabel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QProcess>

#include "LinkRules.h"
#include "Prompter.h"
#include "Shell.h"

namespace pellumar {
namespace {

// The codes of the classic shell for the two ways opening fails here.
constexpr int kNoAssociation = 31;
constexpr int kFileNotFound = 2;
constexpr int kOpened = 33;

}  // namespace

CUrlLabel::CUrlLabel(Shell& shell, Prompter& prompter, QWidget* parent)
    : QLabel(parent),
      m_clrHover(palette().color(QPalette::Highlight)),
      m_shell(shell),
      m_prompter(prompter) {
    setTextFormat(Qt::PlainText);
}

CUrlLabel::~CUrlLabel() = default;

void CUrlLabel::SetUp() {
    const auto [url, shown] = UrlAndText(m_strUrl.toStdString(), text().toStdString());
    m_strUrl = QString::fromStdString(url);
    setText(QString::fromStdString(shown));
    QFont underlined = font();
    underlined.setUnderline(m_bUnderline);
    setFont(underlined);
    FitToText();
    if (!m_hCursor)
        SetHoverCursor(std::nullopt);
    setToolTip(m_strUrl);
    setMouseTracking(true);
    Repaint();
}

void CUrlLabel::SetTextColors(const QColor& link, const QColor& visited, const QColor& hover) {
    m_clrLink = link;
    m_clrVisited = visited;
    m_clrHover = hover.isValid() ? hover : palette().color(QPalette::Highlight);
    Repaint();
}

void CUrlLabel::SetHoverCursor(const std::optional<QCursor>& cursor) {
    m_hCursor = cursor ? *cursor : QCursor(Qt::PointingHandCursor);
    setCursor(*m_hCursor);
}

void CUrlLabel::FitToText() {
    if (!m_bFitText)
        return;
    const QSize size = fontMetrics().size(Qt::TextSingleLine, text());
    const QRect now = geometry();
    const Qt::Alignment align = alignment();
    const LinkRect fitted =
        FitRect({now.left(), now.top(), now.left() + now.width(), now.top() + now.height()},
                size.width(), size.height(), (align & Qt::AlignVCenter) != 0,
                (align & Qt::AlignHCenter) != 0, (align & Qt::AlignRight) != 0);
    setGeometry(fitted.left, fitted.top, fitted.right - fitted.left, fitted.bottom - fitted.top);
}

QColor CUrlLabel::TextColor() const {
    switch (ColorFor(m_bOver, m_bVisited)) {
        case LinkColor::Hover:
            return m_clrHover;
        case LinkColor::Visited:
            return m_clrVisited;
        case LinkColor::Link:
            break;
    }
    return m_clrLink;
}

void CUrlLabel::Repaint() {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, TextColor());
    setPalette(colours);
    update();
}

void CUrlLabel::SetOver(bool bOver) {
    m_bOver = bOver;
    if (bOver)
        grabMouse();
    else if (QWidget::mouseGrabber() == this)
        releaseMouse();
    Repaint();
}

// Any move that reaches the label without the grab is over it; with the grab, every move
// comes here and the one outside ends the hover.
void CUrlLabel::mouseMoveEvent(QMouseEvent* event) {
    QLabel::mouseMoveEvent(event);
    if (!m_bOver)
        SetOver(true);
    else if (!rect().contains(event->position().toPoint()))
        SetOver(false);
}

void CUrlLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        OnLinkClicked();
}

// Losing the grab to another window, or the window losing the focus, ends the hover.
bool CUrlLabel::event(QEvent* event) {
    const bool lost = event->type() == QEvent::UngrabMouse || event->type() == QEvent::Hide ||
                      (event->type() == QEvent::WindowDeactivate && m_bOver);
    if (lost && m_bOver)
        SetOver(false);
    return QLabel::event(event);
}

int CUrlLabel::OpenUrl(const QString& url) {
    if (m_shell.OpenUrl(url))
        return kOpened;
    m_strDesktopFailure = m_shell.LastFailure();
    const QString handler = m_shell.HtmlHandlerCommand();
    if (handler.isEmpty())
        return kNoAssociation;
    QStringList words = QProcess::splitCommand(
        QString::fromStdString(FallbackCommand(handler.toStdString(), url.toStdString())));
    if (words.isEmpty())
        return kNoAssociation;
    const QString program = words.takeFirst();
    return m_shell.StartProgram(program, words, {}) ? kOpened : kFileNotFound;
}

void CUrlLabel::OnLinkClicked() {
    const int code = OpenUrl(m_strUrl);
    m_bVisited = code > kOpenedAbove;
    if (m_bVisited) {
        Repaint();
        return;
    }
    QApplication::beep();
    ShowOpenError(code);
}

// With no program set for web pages, what the desktop said is what failed.
void CUrlLabel::ShowOpenError(int code) {
    QString text = QString::fromStdString(OpenErrorText(code));
    if (code == kNoAssociation) {
        text = QStringLiteral(
                   "Unable to open hyperlink:\n\nThe desktop could not open it%1.\nNo "
                   "program is set to open web pages (text/html).")
                   .arg(m_strDesktopFailure.isEmpty() ? QString() : ": " + m_strDesktopFailure);
    }
    m_prompter.Ask(text, QCoreApplication::applicationName(), Prompter::kOk,
                   Prompter::kExclamation);
}

}  // namespace pellumar
