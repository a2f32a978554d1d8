// The master-password dialog.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TMasterPwd_Form;
}

namespace qv {

class TMasterPwd_Form : public QDialog {
    Q_OBJECT

public:
    explicit TMasterPwd_Form(QWidget* parent = nullptr);
    ~TMasterPwd_Form() override;

    Ui::TMasterPwd_Form& Ui() const { return *ui_; }

private:
    std::unique_ptr<Ui::TMasterPwd_Form> ui_;
};

} // namespace qv
