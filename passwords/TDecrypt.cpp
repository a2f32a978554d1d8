#include "TDecrypt.h"

#include "ui_TDecrypt.h"

namespace qv {

TDecrypt::TDecrypt(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TDecrypt>()) {
    ui_->setupUi(this);
    // A fixed-size dialog border without title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
}

TDecrypt::~TDecrypt() = default;

} // namespace qv
