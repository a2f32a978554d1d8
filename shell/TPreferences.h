// The preferences dialog: how passwords are held and stored, the default method, the display
// of crypted names and the tip of the day.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TPreferences;
}

namespace qv {

class TPreferences : public QDialog {
    Q_OBJECT

public:
    explicit TPreferences(QWidget* parent = nullptr);
    ~TPreferences() override;

    Ui::TPreferences& Ui() const { return *ui_; }

private:
    std::unique_ptr<Ui::TPreferences> ui_;
};

} // namespace qv
