// The delete confirmation: Delete, Delete all, Cancel, Cancel all.
#pragma once

#include "FileOps.h"
#include "FormDialog.h"
#include "ui_TDelDialog.h"

namespace qv {

class TDelDialog : public FormDialog<Ui::TDelDialog>, public DeleteConfirmation {
    Q_OBJECT

public:
    explicit TDelDialog(QWidget* parent = nullptr);

    // DeleteConfirmation: shows the path followed by "?" and waits for one of the four buttons;
    // Esc counts as Cancel.
    DeleteAnswer Ask(const std::string& path) override;

    // The question for path, without the modal loop: FName_Label shows path + "?".
    void SetPath(const std::string& path);
    DeleteAnswer Answer() const { return answer_; }

    // Each showing: the path takes the lines it needs above the buttons, and the dialog sizes
    // itself to its buttons.
    void FormActivate();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Close(DeleteAnswer answer);

    DeleteAnswer answer_ = DeleteAnswer::Cancel;
    int designedLabelHeight_ = 0;
    int designedButtonTop_ = 0;
};

} // namespace qv
