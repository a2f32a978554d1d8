// The tip of the day.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TTIP_Form;
}

namespace qv {

class TTIP_Form : public QDialog {
    Q_OBJECT

public:
    explicit TTIP_Form(QWidget* parent = nullptr);
    ~TTIP_Form() override;

    Ui::TTIP_Form& Ui() const { return *ui_; }

private:
    std::unique_ptr<Ui::TTIP_Form> ui_;
};

} // namespace qv
