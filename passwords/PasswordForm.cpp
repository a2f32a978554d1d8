#include "PasswordForm.h"

namespace qv {

void WipeEdit(QLineEdit* box) {
    box->setText(QString(box->text().size(), QChar(u'\0')));
    box->clear();
}

SecureBytes TypedBytes(const QLineEdit* box) {
    const QString text = box->text();
    return PasswordBytes(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
}

} // namespace qv
