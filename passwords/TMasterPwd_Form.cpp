#include "TMasterPwd_Form.h"

#include "UserAnswers.h"

#include <QMouseEvent>

namespace qv {

TMasterPwd_Form::TMasterPwd_Form(UserAnswers& answers, QWidget* parent)
    : FormDialog(parent, Frame::NoButtons), answers_(answers) {
    Ui::TMasterPwd_Form& ui = Ui();
    // A screen reader names each box by the text above it.
    ui.Enter_Label->setBuddy(ui.MaskEdit1);
    ui.Label2->setBuddy(ui.MaskEdit2);
    ui.MaskEdit1->setAccessibleName(tr("Master password"));
    ui.MaskEdit2->setAccessibleName(tr("Master password again, to confirm"));
    connect(ui.Submit_Button, &QPushButton::clicked, this, &TMasterPwd_Form::Submit_ButtonClick);
    connect(ui.SubmitLater_Button, &QPushButton::clicked, this,
            &TMasterPwd_Form::SubmitLater_ButtonClick);
    connect(ui.NotUse_Button, &QPushButton::clicked, this, &TMasterPwd_Form::NotUse_ButtonClick);
    ui.MaskEdit2->installEventFilter(this);
    setFixedSize(sizeHint());
}

MasterPwdAnswer TMasterPwd_Form::Ask(TQV_PwdTable& table) {
    Begin(table);
    exec();
    table_ = nullptr;
    return answer_;
}

void TMasterPwd_Form::Begin(TQV_PwdTable& table) {
    table_ = &table;
    answer_ = MasterPwdAnswer::Later;
}

void TMasterPwd_Form::showEvent(QShowEvent* event) {
    FormDialog::showEvent(event);
    FormActivate();
}

void TMasterPwd_Form::FormActivate() {
    WipeEdit(Ui().MaskEdit1);
    WipeEdit(Ui().MaskEdit2);
    Ui().MaskEdit1->setFocus(Qt::OtherFocusReason);
}

bool TMasterPwd_Form::eventFilter(QObject* watched, QEvent* event) {
    // A click into the confirmation box runs the checks at once, once the box has the focus.
    if (watched == Ui().MaskEdit2 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Ui().MaskEdit2->setFocus(Qt::MouseFocusReason);
        Check();
    }
    return FormDialog::eventFilter(watched, event);
}

void TMasterPwd_Form::Submit_ButtonClick() {
    // Enter in the first box leads on to the confirmation box.
    if (focusWidget() == Ui().MaskEdit1) {
        Ui().MaskEdit2->setFocus(Qt::TabFocusReason);
        return;
    }
    Check();
}

void TMasterPwd_Form::Check() {
    if (!table_)
        return;
    const std::string message =
        table_->SubmitMasterPassword(TypedBytes(Ui().MaskEdit1), TypedBytes(Ui().MaskEdit2));
    if (message.empty()) {
        Close(MasterPwdAnswer::Ok);
        return;
    }
    answers_.ShowError(message);
}

void TMasterPwd_Form::SubmitLater_ButtonClick() {
    Close(MasterPwdAnswer::Later);
}

void TMasterPwd_Form::NotUse_ButtonClick() {
    Close(MasterPwdAnswer::NotUse);
}

void TMasterPwd_Form::Close(MasterPwdAnswer answer) {
    answer_ = answer;
    WipeEdit(Ui().MaskEdit1);
    WipeEdit(Ui().MaskEdit2);
    if (answer == MasterPwdAnswer::Ok)
        accept();
    else
        reject();
}

} // namespace qv
