#include "TAbout.h"

#include <QMouseEvent>

namespace qv {

TAbout::TAbout(QWidget* parent) : FormDialog(parent, Frame::CloseBox) {
    Ui::TAbout& ui = Ui();
    ui.Ok_Button->setDefault(true);
    connect(ui.Ok_Button, &QPushButton::clicked, this, &QDialog::accept);
    // The link is a label: the mouse, and Enter or Space once it has the focus, open it.
    ui.Http_Label->setCursor(Qt::PointingHandCursor);
    ui.Http_Label->setFocusPolicy(Qt::StrongFocus);
    ui.Http_Label->installEventFilter(this);
}

void TAbout::ShowAbout(const std::string& address, const std::string& osVersion,
                       const std::string& memory) {
    Ui::TAbout& ui = Ui();
    ui.Http_Label->setText(QString::fromStdString(address));
    ui.Http_Label->setToolTip(QString::fromStdString(address));
    ui.Http_Label->setAccessibleName("Download the latest version of our software at " +
                                     QString::fromStdString(address));
    ui.OSVersion_Label->setText(QString::fromStdString(osVersion));
    ui.PhysMem_Label->setText(QString::fromStdString(memory));
    adjustSize();
    exec();
}

void TAbout::Http_LabelClick() {
    if (OpenLink)
        OpenLink(Ui().Http_Label->text().toStdString());
}

bool TAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Ui().Http_Label) {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            Http_LabelClick();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                Http_LabelClick();
                return true;
            }
        }
    }
    return FormDialog::eventFilter(watched, event);
}

} // namespace qv
