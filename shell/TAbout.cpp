#include "TAbout.h"

#include "ui_TAbout.h"

namespace qv {

TAbout::TAbout(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TAbout>()) {
    ui_->setupUi(this);
    // A dialog border with a close box and nothing else.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
}

TAbout::~TAbout() = default;

} // namespace qv
