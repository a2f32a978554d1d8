#include "TMasterPwd_Form.h"

#include "ui_TMasterPwd_Form.h"

namespace qv {

TMasterPwd_Form::TMasterPwd_Form(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TMasterPwd_Form>()) {
    ui_->setupUi(this);
    // A fixed-size dialog border without title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
}

TMasterPwd_Form::~TMasterPwd_Form() = default;

} // namespace qv
