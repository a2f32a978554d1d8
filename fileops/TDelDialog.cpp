#include "TDelDialog.h"

#include "WindowFrame.h"

#include <QFile>

#include <algorithm>

namespace qv {

namespace {

// The dialog's outer size from its last button: 35 pixels to its right, 45 below it.
constexpr int RightMargin = 35;
constexpr int BottomMargin = 45;

} // namespace

TDelDialog::TDelDialog(QWidget* parent) : FormDialog(parent, Frame::NoButtons) {
    Ui::TDelDialog& ui = Ui();
    connect(ui.Button1, &QPushButton::clicked, this, [this] { Close(DeleteAnswer::Delete); });
    connect(ui.Button3, &QPushButton::clicked, this, [this] { Close(DeleteAnswer::DeleteAll); });
    connect(ui.Button2, &QPushButton::clicked, this, [this] { Close(DeleteAnswer::Cancel); });
    connect(ui.CancelAll_Button, &QPushButton::clicked, this,
            [this] { Close(DeleteAnswer::CancelAll); });
    designedLabelHeight_ = ui.FName_Label->height();
    designedButtonTop_ = ui.Button1->y();
    // A screen reader reads the question with the file's path.
    ui.FName_Label->setAccessibleName(ui.Label1->text());
}

DeleteAnswer TDelDialog::Ask(const std::string& path) {
    SetPath(path);
    exec();
    return answer_;
}

void TDelDialog::SetPath(const std::string& path) {
    answer_ = DeleteAnswer::Cancel; // Esc
    Ui().FName_Label->setText(QFile::decodeName(path.c_str()) + '?');
}

void TDelDialog::showEvent(QShowEvent* event) {
    FormDialog::showEvent(event);
    FormActivate();
}

void TDelDialog::FormActivate() {
    // A long path takes the lines it needs, and the buttons move down below it, so that the
    // whole path can be read before anything is deleted.
    Ui::TDelDialog& ui = Ui();
    QLabel* label = ui.FName_Label;
    const int needed = std::max(label->heightForWidth(label->width()), designedLabelHeight_);
    label->resize(label->width(), needed);
    for (QPushButton* button : {ui.Button1, ui.Button3, ui.Button2, ui.CancelAll_Button})
        button->move(button->x(), designedButtonTop_ + needed - designedLabelHeight_);

    const QRect last = ui.CancelAll_Button->geometry();
    setFixedSize(ClientWidthFor(last.right() + 1 + RightMargin),
                 ClientHeightFor(last.bottom() + 1 + BottomMargin));
    Ui().Button1->setFocus(Qt::OtherFocusReason);
}

void TDelDialog::Close(DeleteAnswer answer) {
    answer_ = answer;
    if (answer == DeleteAnswer::Delete || answer == DeleteAnswer::DeleteAll)
        accept();
    else
        reject();
}

} // namespace qv
