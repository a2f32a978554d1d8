// The password dialog before a crypted file is decrypted.
#pragma once

#include "FormDialog.h"
#include "ui_TDecrypt.h"

namespace qv {

class TDecrypt : public FormDialog<Ui::TDecrypt> {
    Q_OBJECT

public:
    explicit TDecrypt(QWidget* parent = nullptr) : FormDialog(parent, Frame::NoButtons) {}
};

} // namespace qv
