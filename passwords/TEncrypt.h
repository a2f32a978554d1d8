// The password dialog before a file is encrypted.
#pragma once

#include "FormDialog.h"
#include "ui_TEncrypt.h"

namespace qv {

class TEncrypt : public FormDialog<Ui::TEncrypt> {
    Q_OBJECT

public:
    explicit TEncrypt(QWidget* parent = nullptr) : FormDialog(parent, Frame::NoButtons) {}
};

} // namespace qv
