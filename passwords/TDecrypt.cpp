#include "TDecrypt.h"

#include "UserAnswers.h"

namespace qv {

TDecrypt::TDecrypt(UserAnswers& answers, QWidget* parent) : PasswordForm(answers, parent) {
    ChecksOnClickInto(Ui().MaskEdit1);
}

void TDecrypt::Submit_ButtonClick() {
    const SecureBytes password = TypedBytes(Ui().MaskEdit1);
    if (password.size() < PasswordMinLength)
        Answers().ShowError(DecryptTooFewMessage);
    else if (password.size() > DecryptMaxLength)
        Answers().ShowError(DecryptTooManyMessage);
    else
        Close(PromptAnswer::Go);
}

} // namespace qv
