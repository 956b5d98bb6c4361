#include "CRecentCombo.h"

namespace pellumar {

CRecentCombo::CRecentCombo(SettingsStore& store, QWidget* parent)
    : QComboBox(parent), m_model(store) {
    setEditable(true);
    // Entries come only from the list, in its order, never from Enter in the edit field.
    setInsertPolicy(QComboBox::NoInsert);
    setDuplicatesEnabled(true);
    // The text typed is the text searched and remembered: nothing is completed into it.
    setCompleter(nullptr);
    m_model.SetRefill([this] { RefillDropDown(); });
}

CRecentCombo::~CRecentCombo() {
    m_model.SetRefill(nullptr);
}

bool CRecentCombo::AddEntry(const QString& text, bool asPath) {
    return m_model.AddEntry(text.toStdString(), asPath);
}

void CRecentCombo::RefillDropDown() {
    const QString editText = currentText();
    clear();
    for (const std::string& entry : m_model.Entries())
        addItem(QString::fromStdString(entry));
    setEditText(editText);
}

}  // namespace pellumar
