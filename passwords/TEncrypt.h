// The password dialog before a file is encrypted: the password typed twice, with the choices of
// one password for the whole list and of storing it in the database.
#pragma once

#include "PasswordForm.h"
#include "ui_TEncrypt.h"

namespace qv {

class TEncrypt : public PasswordForm<Ui::TEncrypt> {
    Q_OBJECT

public:
    explicit TEncrypt(UserAnswers& answers, QWidget* parent = nullptr);

    // Also the store check box: enabled exactly when the database is in use, and then checked;
    // and the confirmation box emptied.
    void FormActivate() override;
    // From the first box it only moves on to the confirmation box. Otherwise the password must
    // have 6 bytes at least and no more than the method takes, and the two boxes must agree;
    // then the dialog closes with OK, else the message is shown and the boxes stay as they were.
    void Submit_ButtonClick() override;
    void SavePwd_CheckBoxClick();

private:
    void Complete(PasswordDialogAnswer& answer) override;
    void WipeBoxes() override;
};

} // namespace qv
