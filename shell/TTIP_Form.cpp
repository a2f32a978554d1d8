#include "TTIP_Form.h"

#include "Random.h"

namespace qv {

TTIP_Form::TTIP_Form(QWidget* parent) : FormDialog(parent, Frame::NoButtons) {
    Ui::TTIP_Form& ui = Ui();
    ui.Tip_Memo->setReadOnly(true);
    connect(ui.Button3, &QPushButton::clicked, this, &TTIP_Form::SetTIP);
    connect(ui.Button2, &QPushButton::clicked, this, [this] {
        if (ShowHelpTopic)
            ShowHelpTopic(Tips[choice_.Shown()].Topic);
    });
    connect(ui.Ok_Button, &QPushButton::clicked, this, &QDialog::accept);
}

void TTIP_Form::ShowTips(bool& showTip) {
    Ui().Show_CheckBox->setChecked(showTip);
    SeedRandomFromClock();
    SetTIP();
    if (exec() == QDialog::Accepted)
        showTip = Ui().Show_CheckBox->isChecked();
}

void TTIP_Form::SetTIP() {
    Ui().Tip_Memo->setPlainText(QString::fromUtf8(Tips[choice_.Next()].Text));
}

} // namespace qv
