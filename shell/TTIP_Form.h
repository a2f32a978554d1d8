// The tip of the day.
#pragma once

#include "FormDialog.h"
#include "ui_TTIP_Form.h"

namespace qv {

class TTIP_Form : public FormDialog<Ui::TTIP_Form> {
    Q_OBJECT

public:
    explicit TTIP_Form(QWidget* parent = nullptr) : FormDialog(parent, Frame::NoButtons) {}
};

} // namespace qv
