#include "TDelDialog.h"

#include "ui_TDelDialog.h"

namespace qv {

TDelDialog::TDelDialog(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TDelDialog>()) {
    ui_->setupUi(this);
    // A dialog border without title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

TDelDialog::~TDelDialog() = default;

} // namespace qv
