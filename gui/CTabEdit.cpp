#include "CTabEdit.h"

#include <QTextDocument>

#include <QKeyEvent>

namespace pellumar {

CTabEdit::CTabEdit(QWidget* parent) : QPlainTextEdit(parent) {}

CTabEdit::~CTabEdit() = default;

// Taken before the text box and the dialog see the key, so that this box alone decides.
bool CTabEdit::event(QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QPlainTextEdit::event(event);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (!tab || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return QPlainTextEdit::event(event);
    if (m_wantTab && m_wantTab()) {
        // One edit: the selection and the tab go and come back together on undo.
        insertPlainText(QStringLiteral("\t"));
    } else {
        const bool backwards =
            key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
        QWidget::focusNextPrevChild(!backwards);
    }
    key->accept();
    return true;
}

// The document keeps its lines apart with paragraph separators: each is a line break typed.
QString CTabEdit::TypedText() const {
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

}  // namespace pellumar
