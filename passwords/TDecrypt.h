// The password dialog before a crypted file is decrypted: the password typed once, with the
// choice of one password for the whole list.
#pragma once

#include "PasswordForm.h"
#include "ui_TDecrypt.h"

namespace qv {

class TDecrypt : public PasswordForm<Ui::TDecrypt> {
    Q_OBJECT

public:
    explicit TDecrypt(UserAnswers& answers, QWidget* parent = nullptr);

    // The password must have 6 to 24 bytes, whatever the file's method: then the dialog closes
    // with OK, else the message is shown and the box stays as it was.
    void Submit_ButtonClick() override;
};

} // namespace qv
