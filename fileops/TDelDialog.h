// The delete confirmation: Delete, Delete all, Cancel, Cancel all.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TDelDialog;
}

namespace qv {

class TDelDialog : public QDialog {
    Q_OBJECT

public:
    explicit TDelDialog(QWidget* parent = nullptr);
    ~TDelDialog() override;

    Ui::TDelDialog& Ui() const { return *ui_; }

private:
    std::unique_ptr<Ui::TDelDialog> ui_;
};

} // namespace qv
