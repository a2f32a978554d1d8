#include "TComboChange.h"

#include "Drives.h"
#include "WindowFrame.h"

#include <QCloseEvent>

namespace qv {

TComboChange::TComboChange(const DriveCheck& drives, QWidget* parent)
    : FormDialog(parent), drives_(drives) {
    connect(Ui().Ok_Button, &QPushButton::clicked, this, &TComboChange::Ok_ButtonClick);
}

void TComboChange::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
}

void TComboChange::FormActivate() {
    Ui::TComboChange& ui = Ui();
    ui.DriveComboBox1->Refresh();
    ui.DriveComboBox1->setCurrentIndex(0);

    ui.Another_Label->adjustSize();
    ui.DriveComboBox1->adjustSize();
    QRect box = ui.DriveComboBox1->geometry();
    box.moveLeft(ui.Another_Label->x() + ui.Another_Label->width() + 30);
    const int width = ClientWidthFor(box.right() + 1 + 45);

    // The message wraps within the dialog; the drive row and the button follow below it.
    const int textWidth = width - 2 * ui.Label1->x();
    ui.Label1->setFixedWidth(textWidth);
    ui.Label1->setFixedHeight(ui.Label1->heightForWidth(textWidth));
    const int rowTop = ui.Label1->geometry().bottom() + 14;
    ui.Another_Label->move(ui.Another_Label->x(),
                           rowTop + (box.height() - ui.Another_Label->height()) / 2);
    box.moveTop(rowTop);
    ui.DriveComboBox1->setGeometry(box);

    QRect ok = ui.Ok_Button->geometry();
    ok.moveTop(box.bottom() + 16);
    const int height = ClientHeightFor(ok.bottom() + 1 + 50);
    ui.Panel1->setGeometry(6, 6, width - 12, height - 12);
    ok.moveLeft(ui.Panel1->x() + (ui.Panel1->width() - ok.width()) / 2);
    ui.Ok_Button->setGeometry(ok);
    setFixedSize(width, height);
}

void TComboChange::Ok_ButtonClick() {
    if (!drives_.IsReady(ChosenDrive().toStdString()))
        return;
    accept();
}

QString TComboChange::ChosenDrive() const {
    return Ui().DriveComboBox1->CurrentDrive();
}

void TComboChange::reject() {
    // Escape does not close the dialog: a ready drive has to be chosen.
}

void TComboChange::closeEvent(QCloseEvent* event) {
    event->ignore();
}

} // namespace qv
