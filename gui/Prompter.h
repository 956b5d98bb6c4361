#pragma once

#include <QString>

class QWidget;

namespace pellumar {

// Message boxes and the folder chooser, as the window asks for them. Tests answer from a
// script. Answers use the classic message-box codes.
class Prompter {
  public:
    enum Buttons { kOk, kOkCancel, kAbortRetryIgnore, kYesNo, kYesNoPreview };
    enum Icon { kNoIcon, kExclamation, kQuestion };
    enum Answer {
        kIdOk = 1,
        kIdCancel = 2,
        kIdAbort = 3,
        kIdRetry = 4,
        kIdIgnore = 5,
        kIdYes = 6,
        kIdNo = 7,
        kIdPreview = 12  // Yes, No and "Preview...": the last
    };

    virtual ~Prompter() = default;
    virtual int Ask(const QString& text, const QString& caption, Buttons buttons, Icon icon) = 0;
    // A folder the user chose, starting at `start`, or "" when none was.
    virtual QString ChooseFolder(const QString& title, const QString& start) = 0;
    // A program file the user chose, or "" when none was.
    virtual QString ChooseProgram(QWidget* owner) = 0;
};

}  // namespace pellumar
