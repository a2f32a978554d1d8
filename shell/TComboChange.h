// The drive-not-ready dialog: the user has to choose a drive that is ready. It has no cancel
// button and no close box, and OK does nothing while the chosen drive is still not ready.
#pragma once

#include "FormDialog.h"
#include "ui_TComboChange.h"

namespace qv {

class DriveCheck;

class TComboChange : public FormDialog<Ui::TComboChange> {
    Q_OBJECT

public:
    explicit TComboChange(const DriveCheck& drives, QWidget* parent = nullptr);

    // Lays the dialog out around its texts and chooses the first drive of the list.
    void FormActivate();
    // Closes the dialog with OK when the chosen drive is ready; otherwise the dialog stays.
    void Ok_ButtonClick();
    // The drive chosen when the dialog closed with OK.
    QString ChosenDrive() const;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    const DriveCheck& drives_;
};

} // namespace qv
