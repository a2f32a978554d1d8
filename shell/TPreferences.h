// The preferences dialog: how passwords are held and stored, the default method, the display
// of crypted names and the tip of the day.
#pragma once

#include "FormDialog.h"
#include "ui_TPreferences.h"

namespace qv {

class TPreferences : public FormDialog<Ui::TPreferences> {
    Q_OBJECT

public:
    explicit TPreferences(QWidget* parent = nullptr) : FormDialog(parent, Frame::NoButtons) {}
};

} // namespace qv
