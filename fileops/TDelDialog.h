// The delete confirmation: Delete, Delete all, Cancel, Cancel all.
#pragma once

#include "FormDialog.h"
#include "ui_TDelDialog.h"

namespace qv {

class TDelDialog : public FormDialog<Ui::TDelDialog> {
    Q_OBJECT

public:
    explicit TDelDialog(QWidget* parent = nullptr) : FormDialog(parent, Frame::NoButtons) {}
};

} // namespace qv
