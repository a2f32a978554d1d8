// A dialog made from its form: the form's controls are set up in it and reached through Ui().
#pragma once

#include <QDialog>

namespace qv {

template <typename Form>
class FormDialog : public QDialog {
public:
    // The program's dialogs have a caption and no title-bar buttons, except those with a close
    // box.
    enum class Frame { NoButtons, CloseBox };

    explicit FormDialog(QWidget* parent, Frame frame = Frame::NoButtons) : QDialog(parent) {
        ui_.setupUi(this);
        Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (frame == Frame::CloseBox)
            flags |= Qt::WindowCloseButtonHint;
        setWindowFlags(flags);
    }

    Form& Ui() { return ui_; }
    const Form& Ui() const { return ui_; }

private:
    Form ui_;
};

} // namespace qv
