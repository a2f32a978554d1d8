// The about box.
#pragma once

#include "FormDialog.h"
#include "ui_TAbout.h"

namespace qv {

class TAbout : public FormDialog<Ui::TAbout> {
    Q_OBJECT

public:
    explicit TAbout(QWidget* parent = nullptr) : FormDialog(parent, Frame::CloseBox) {}
};

} // namespace qv
