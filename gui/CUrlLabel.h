#pragma once

#include <QColor>
#include <QCursor>
#include <QLabel>
#include <optional>

namespace pellumar {

class Prompter;
class Shell;

// A label that is a web link: underlined, in the link colour, another colour while the mouse
// is over it and after a successful visit, a hand cursor and the URL as its tooltip. A click
// opens the URL through the desktop, or else through the web page handler's command; when both
// fail it beeps and tells why.
class CUrlLabel : public QLabel {
    Q_OBJECT

  public:
    CUrlLabel(Shell& shell, Prompter& prompter, QWidget* parent = nullptr);
    ~CUrlLabel() override;

    // Makes the label a link: the URL from the text or the text from the URL, the underlined
    // font, the size of the text, the cursor and the tooltip. Call once it has its text and
    // place.
    void SetUp();
    // An invalid hover colour stands for the palette's highlight colour.
    void SetTextColors(const QColor& link, const QColor& visited, const QColor& hover = {});
    // Without a cursor the pointing hand is shown.
    void SetHoverCursor(const std::optional<QCursor>& cursor);
    void FitToText();
    // The result code: above 32 when the URL was opened.
    int OpenUrl(const QString& url);
    void ShowOpenError(int code);

    const QString& Url() const { return m_strUrl; }
    bool IsOver() const { return m_bOver; }
    bool IsVisited() const { return m_bVisited; }
    QColor TextColor() const;

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void OnLinkClicked();
    void SetOver(bool bOver);
    void Repaint();

    QColor m_clrLink{0, 0, 238};
    QColor m_clrVisited{85, 26, 139};
    QColor m_clrHover;
    bool m_bOver = false;
    bool m_bVisited = false;
    bool m_bUnderline = true;
    bool m_bFitText = true;
    QString m_strUrl;
    QString m_strDesktopFailure;  // why the desktop did not open the last address
    std::optional<QCursor> m_hCursor;
    Shell& m_shell;
    Prompter& m_prompter;
};

}  // namespace pellumar
