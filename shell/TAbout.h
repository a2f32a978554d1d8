// The about box.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TAbout;
}

namespace qv {

class TAbout : public QDialog {
    Q_OBJECT

public:
    explicit TAbout(QWidget* parent = nullptr);
    ~TAbout() override;

    Ui::TAbout& Ui() const { return *ui_; }

private:
    std::unique_ptr<Ui::TAbout> ui_;
};

} // namespace qv
