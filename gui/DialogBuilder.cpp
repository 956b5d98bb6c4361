#include "DialogBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcutEvent>
#include <QTabWidget>
#include <QTreeView>

#include "Artwork.h"
#include "ResourceIds.h"

namespace pellumar {
namespace {

using res::ControlKind;
using res::ControlTemplate;

// A group box whose mnemonic hands the focus to the control after it, which lies inside it
// on the page but is not its child.
class MnemonicGroupBox final : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;
    QWidget* m_pBuddy = nullptr;

  protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::Shortcut && m_pBuddy != nullptr) {
            m_pBuddy->setFocus(Qt::ShortcutFocusReason);
            return true;
        }
        return QGroupBox::event(event);
    }
};

// A check box whose mnemonic toggles it at once, as a click ends, rather than a tenth of a second
// later, when the next key may have been handled already: Alt+Y then Alt+R finds the replace
// box enabled.
class InstantCheckBox final : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

  protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::Shortcut && isEnabled() &&
            !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
            setFocus(Qt::ShortcutFocusReason);
            click();
            return true;
        }
        return QCheckBox::event(event);
    }
};

QWidget* CreateControl(const ControlTemplate& control, QWidget* client) {
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
        case ControlKind::ListView:
            return new QTreeView(client);
        case ControlKind::TabControl:
            return new QTabWidget(client);
        case ControlKind::Label: {
            auto* label = new QLabel(text, client);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap((control.style & res::kWrap) != 0);
            return label;
        }
        case ControlKind::Icon: {
            auto* icon = new QLabel(client);
            icon->setPixmap(res::ApplicationIcon().pixmap(32));
            return icon;
        }
        case ControlKind::RadioButton:
            return new QRadioButton(text, client);
        case ControlKind::LineEdit:
            return new QLineEdit(client);
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(client);
            combo->setEditable(true);
            return combo;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, client);
            button->setDefault((control.style & res::kDefault) != 0);
            return button;
        }
        case ControlKind::CheckBox:
            return new InstantCheckBox(text, client);
        case ControlKind::GroupBox:
            return new MnemonicGroupBox(text, client);
        case ControlKind::Edit:
            return new QPlainTextEdit(client);
        case ControlKind::Line: {
            auto* line = new QFrame(client);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            return line;
        }
        case ControlKind::Animation:
            return new QWidget(client);
    }
    return new QWidget(client);
}

void Place(QWidget* widget, const ControlTemplate& control, BaseUnits units) {
    PixelRect rect = ToPixels(control, units);
    // A combo box's height in a template includes its drop-down list; the box itself is as
    // high as its font needs.
    if (control.kind == ControlKind::ComboBox)
        rect.height = widget->sizeHint().height();
    // Check boxes and radio buttons are never narrower than their text, whose width depends
    // on the font's own proportions and the style's indicator.
    if (control.kind == ControlKind::CheckBox || control.kind == ControlKind::RadioButton)
        rect.width = std::max(rect.width, widget->sizeHint().width());
    // A one-line box is never lower than its font needs.
    if (control.kind == ControlKind::LineEdit)
        rect.height = std::max(rect.height, widget->sizeHint().height());
    if (control.kind == ControlKind::Line)
        rect.height = std::max(rect.height, 2);
    widget->setGeometry(rect.x, rect.y, rect.width, rect.height);
}

// Mnemonics of labels and group boxes, and the tab order, which is the template's.
void Connect(std::span<const ControlTemplate> controls, const std::vector<QWidget*>& widgets) {
    QWidget* previous = nullptr;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (TakesFocus(controls[i].kind)) {
            if (previous != nullptr)
                QWidget::setTabOrder(previous, widgets[i]);
            previous = widgets[i];
        }
        const int buddy = BuddyIndex(controls, static_cast<int>(i));
        if (buddy < 0)
            continue;
        if (auto* label = qobject_cast<QLabel*>(widgets[i]))
            label->setBuddy(widgets[buddy]);
        if (auto* group = dynamic_cast<MnemonicGroupBox*>(widgets[i]))
            group->m_pBuddy = widgets[buddy];
    }
}

}  // namespace

BaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QSize ClientSize(const res::DialogTemplate& dialog, BaseUnits units) {
    const PixelRect rect = ToPixels(0, 0, dialog.cx, dialog.cy, units);
    return {rect.width, rect.height};
}

ControlMap BuildControls(QWidget* client, const res::DialogTemplate& dialog,
                         const ControlMap& provided) {
    const BaseUnits units = BaseUnitsOf(client->font());
    ControlMap controls;
    std::vector<QWidget*> widgets;
    for (const ControlTemplate& control : dialog.controls) {
        auto given = provided.find(control.id);
        QWidget* widget = given != provided.end() ? given->second : CreateControl(control, client);
        // A label given ready-made still takes its text from the template.
        auto* label = qobject_cast<QLabel*>(widget);
        if (given != provided.end() && label != nullptr && *control.text != '\0')
            label->setText(QString::fromUtf8(control.text));

        widget->setParent(client);
        Place(widget, control, units);
        widget->setVisible((control.style & res::kHidden) == 0);
        widget->setEnabled((control.style & res::kDisabled) == 0);
        if (control.id != res::kIdNone) {
            widget->setObjectName(QString::number(control.id));
            controls[control.id] = widget;
        }
        widgets.push_back(widget);
    }
    Connect(dialog.controls, widgets);
    return controls;
}

QMenuBar* BuildMenuBar(std::span<const res::MenuTemplate> menus, QWidget* parent,
                       const std::function<void(int)>& onCommand) {
    auto* bar = new QMenuBar(parent);
    for (const res::MenuTemplate& menu : menus) {
        QMenu* popup = bar->addMenu(QString::fromUtf8(menu.text));
        for (const res::MenuItemTemplate& item : menu.items) {
            if (item.id == 0) {
                popup->addSeparator();
                continue;
            }
            QAction* action = popup->addAction(QString::fromUtf8(item.text));
            action->setObjectName(QString::number(item.id));
            action->setCheckable(item.checked);
            action->setChecked(item.checked);
            QObject::connect(action, &QAction::triggered, bar,
                             [onCommand, id = item.id] { onCommand(id); });
        }
    }
    return bar;
}

}  // namespace pellumar
