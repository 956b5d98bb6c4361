#include "HelpKey.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace pellumar {

HelpKey::HelpKey(std::function<void()> onHelp, QObject* parent)
    : QObject(parent), m_onHelp(std::move(onHelp)) {
    qApp->installEventFilter(this);
}

HelpKey::~HelpKey() {
    qApp->removeEventFilter(this);
}

// A key reaches the application's filter once for each object it is delivered to on its way
// up: only the one sent to a window's focus widget (or the window itself) counts.
bool HelpKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers held =
        key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (key->key() != Qt::Key_F1 || held != Qt::NoModifier || widget == nullptr ||
        (widget != QApplication::focusWidget() && widget != widget->window())) {
        return false;
    }
    m_onHelp();
    return true;
}

}  // namespace pellumar
