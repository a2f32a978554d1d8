// The password dialog before a crypted file is decrypted.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TDecrypt;
}

namespace qv {

class TDecrypt : public QDialog {
    Q_OBJECT

public:
    explicit TDecrypt(QWidget* parent = nullptr);
    ~TDecrypt() override;

    Ui::TDecrypt& Ui() const { return *ui_; }

private:
    std::unique_ptr<Ui::TDecrypt> ui_;
};

} // namespace qv
