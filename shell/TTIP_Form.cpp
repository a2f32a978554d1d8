#include "TTIP_Form.h"

#include "ui_TTIP_Form.h"

namespace qv {

TTIP_Form::TTIP_Form(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TTIP_Form>()) {
    ui_->setupUi(this);
    // A dialog border without title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

TTIP_Form::~TTIP_Form() = default;

} // namespace qv
