// The password dialog before a file is encrypted.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TEncrypt;
}

namespace qv {

class TEncrypt : public QDialog {
    Q_OBJECT

public:
    explicit TEncrypt(QWidget* parent = nullptr);
    ~TEncrypt() override;

    Ui::TEncrypt& Ui() const { return *ui_; }

private:
    std::unique_ptr<Ui::TEncrypt> ui_;
};

} // namespace qv
