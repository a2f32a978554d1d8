#include "TEncrypt.h"

#include "ui_TEncrypt.h"

namespace qv {

TEncrypt::TEncrypt(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TEncrypt>()) {
    ui_->setupUi(this);
    // A fixed-size dialog border without title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
}

TEncrypt::~TEncrypt() = default;

} // namespace qv
