#pragma once

#include <QComboBox>

#include "RecentComboModel.h"

namespace pellumar {

// An editable combo box whose drop-down list shows a list of recent entries kept in the
// settings store. The list and its rules live in the model; this box only shows them.
class CRecentCombo : public QComboBox {
    Q_OBJECT

  public:
    CRecentCombo(SettingsStore& store, QWidget* parent = nullptr);
    ~CRecentCombo() override;

    RecentComboModel& Model() { return m_model; }
    const RecentComboModel& Model() const { return m_model; }

    // Makes the text the most recent entry (shown at once when refilling on add is on).
    bool AddEntry(const QString& text, bool asPath);
    // Shows the entries in the drop-down list, leaving the edit text as it is.
    void RefillDropDown();

  private:
    RecentComboModel m_model;
};

}  // namespace pellumar
