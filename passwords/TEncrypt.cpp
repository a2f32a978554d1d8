#include "TEncrypt.h"

#include "UserAnswers.h"

namespace qv {

TEncrypt::TEncrypt(UserAnswers& answers, QWidget* parent) : PasswordForm(answers, parent) {
    Ui::TEncrypt& ui = Ui();
    ui.Label5->setBuddy(ui.MaskEdit2);
    ui.MaskEdit2->setAccessibleName(tr("Password again, to confirm"));
    connect(ui.SavePwd_CheckBox, &QCheckBox::clicked, this, &TEncrypt::SavePwd_CheckBoxClick);
    ChecksOnClickInto(ui.MaskEdit2);
}

void TEncrypt::FormActivate() {
    Ui::TEncrypt& ui = Ui();
    ui.SavePwd_CheckBox->setEnabled(Setup().SaveBoxEnabled);
    ui.SavePwd_CheckBox->setChecked(Setup().SaveBoxEnabled);
    WipeEdit(ui.MaskEdit2);
    PasswordForm::FormActivate();
}

void TEncrypt::Submit_ButtonClick() {
    Ui::TEncrypt& ui = Ui();
    // Enter in the first box leads on to the confirmation box.
    if (focusWidget() == ui.MaskEdit1) {
        ui.MaskEdit2->setFocus(Qt::TabFocusReason);
        return;
    }
    const SecureBytes password = TypedBytes(ui.MaskEdit1);
    if (password.size() < PasswordMinLength)
        Answers().ShowError(EncryptTooFewMessage);
    else if (password.size() > Setup().MaxLength)
        Answers().ShowError(EncryptTooManyMessage);
    else if (password != TypedBytes(ui.MaskEdit2))
        Answers().ShowError(EncryptMismatchMessage);
    else
        Close(PromptAnswer::Go);
}

void TEncrypt::SavePwd_CheckBoxClick() {
    ReturnFocusFrom(Ui().SavePwd_CheckBox);
}

void TEncrypt::Complete(PasswordDialogAnswer& answer) {
    answer.SavePassword = Ui().SavePwd_CheckBox->isChecked();
}

void TEncrypt::WipeBoxes() {
    WipeEdit(Ui().MaskEdit1);
    WipeEdit(Ui().MaskEdit2);
}

} // namespace qv
