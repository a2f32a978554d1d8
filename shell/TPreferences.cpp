#include "TPreferences.h"

#include "ui_TPreferences.h"

namespace qv {

TPreferences::TPreferences(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TPreferences>()) {
    ui_->setupUi(this);
    // A dialog border without title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

TPreferences::~TPreferences() = default;

} // namespace qv
