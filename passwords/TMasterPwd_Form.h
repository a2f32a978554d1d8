// The master-password dialog.
#pragma once

#include "FormDialog.h"
#include "ui_TMasterPwd_Form.h"

namespace qv {

class TMasterPwd_Form : public FormDialog<Ui::TMasterPwd_Form> {
    Q_OBJECT

public:
    explicit TMasterPwd_Form(QWidget* parent = nullptr) : FormDialog(parent, Frame::NoButtons) {}
};

} // namespace qv
