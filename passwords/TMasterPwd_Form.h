// The master-password dialog: asks for the master password of the stored-password database,
// typed twice, and hands it to the database to be checked.
#pragma once

#include "FormDialog.h"
#include "PasswordForm.h"
#include "PwdTable.h"
#include "ui_TMasterPwd_Form.h"

namespace qv {

class UserAnswers;

class TMasterPwd_Form : public FormDialog<Ui::TMasterPwd_Form>, public MasterPasswordPrompt {
    Q_OBJECT

public:
    // answers shows the dialog's messages.
    explicit TMasterPwd_Form(UserAnswers& answers, QWidget* parent = nullptr);

    // MasterPasswordPrompt: shows the dialog modally for table and tells how it was closed.
    MasterPwdAnswer Ask(TQV_PwdTable& table) override;

    // The steps of Ask without the modal loop, for a caller that shows the dialog itself.
    void Begin(TQV_PwdTable& table);
    MasterPwdAnswer Answer() const { return answer_; }

    // Each showing: both boxes empty, the focus in the first.
    void FormActivate();
    // Confirm, Enter in either box, or a click into the confirmation box. From the first box it
    // only moves on to the second; otherwise the typed password is checked, and either the
    // dialog closes with OK or the message is shown and the dialog stays as it was.
    void Submit_ButtonClick();
    // "Do not use for now" (and Esc): closes without a master password.
    void SubmitLater_ButtonClick();
    // "Do not use at all": closes, and the database is switched off.
    void NotUse_ButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Check();
    void Close(MasterPwdAnswer answer);

    UserAnswers& answers_;
    TQV_PwdTable* table_ = nullptr;
    MasterPwdAnswer answer_ = MasterPwdAnswer::Later;
};

} // namespace qv
