// What the encryption and the decryption dialog share: the file's path, method and length line,
// the list check box, the Cancel and Cancel all buttons, the focus rules and the answer. Each
// dialog adds its own checks of the typed password.
#pragma once

#include "FormDialog.h"
#include "PasswordDialog.h"
#include "PasswordText.h"
#include "Paths.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace qv {

class UserAnswers;

// Empties a password box: its text is first replaced by as many zero characters, which also
// empties the box's undo history, then cleared.
void WipeEdit(QLineEdit* box);

// The bytes of the password typed into a box.
SecureBytes TypedBytes(const QLineEdit* box);

// The width the directory before the file name is shortened to, in the label's font.
inline constexpr int FileNameDirectoryWidth = 64;

template <typename Form>
class PasswordForm : public FormDialog<Form>, public PasswordDialog {
public:
    PasswordForm(UserAnswers& answers, QWidget* parent)
        : FormDialog<Form>(parent, FormDialog<Form>::Frame::NoButtons), answers_(answers) {
        Form& ui = this->Ui();
        ui.Enter_Label->setBuddy(ui.MaskEdit1);
        ui.MaskEdit1->setAccessibleName(QObject::tr("Password"));
        ui.FName_Label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        QObject::connect(ui.Submit_Button, &QPushButton::clicked, this,
                         [this] { Submit_ButtonClick(); });
        QObject::connect(ui.Button1, &QPushButton::clicked, this,
                         [this] { Close(PromptAnswer::Skip); });
        QObject::connect(ui.CancelAll, &QPushButton::clicked, this,
                         [this] { Close(PromptAnswer::CancelAll); });
        QObject::connect(ui.OnePwdList_CheckBox, &QCheckBox::clicked, this,
                         [this] { OnePwdList_CheckBoxClick(); });
    }

    // PasswordDialog: fills in the file's lines, shows the dialog modally and answers how it
    // was closed; the boxes are empty again afterwards.
    PasswordDialogAnswer Ask(const PasswordDialogSetup& setup) override {
        Begin(setup);
        this->exec();
        return TakeAnswer();
    }

    void ShowCancelAll(bool visible) override { this->Ui().CancelAll->setVisible(visible); }

    // The steps of Ask around the modal loop, for a caller that shows the dialog itself.
    void Begin(const PasswordDialogSetup& setup) {
        setup_ = setup;
        answer_ = PasswordDialogAnswer();
        Form& ui = this->Ui();
        const QFontMetrics metrics(ui.FName_Label->font());
        const std::string directory =
            ShortenedDirectory(setup.Directory, [&](const std::string& text) {
                return metrics.horizontalAdvance(QString::fromStdString(text)) <=
                       FileNameDirectoryWidth;
            });
        ui.FName_Label->setText(QString::fromStdString(JoinPath(directory, setup.FileName)));
        const QString whole = QString::fromStdString(JoinPath(setup.Directory, setup.FileName));
        ui.FName_Label->setToolTip(whole);
        ui.FName_Label->setAccessibleName(whole);
        ui.Method_Label->setText(QString::fromStdString(setup.MethodName));
        ui.Enter_Label->setText(QString::fromStdString(setup.EnterText));
    }
    PasswordDialogAnswer TakeAnswer() {
        PasswordDialogAnswer answer = std::move(answer_);
        answer_ = PasswordDialogAnswer();
        return answer;
    }

    // Each showing: the check boxes from the setup, the boxes empty, the focus in the first,
    // and the dialog just large enough for what it shows.
    virtual void FormActivate() {
        Form& ui = this->Ui();
        ui.OnePwdList_CheckBox->setEnabled(setup_.ListBoxEnabled);
        ui.OnePwdList_CheckBox->setChecked(setup_.ListBoxEnabled && setup_.ListBoxChecked);
        WipeEdit(ui.MaskEdit1);
        ui.MaskEdit1->setFocus(Qt::OtherFocusReason);
        this->setFixedSize(this->sizeHint());
    }

    // OK, Enter in a box, or a click into the box that runs the checks at once.
    virtual void Submit_ButtonClick() = 0;

    // A check box clicked with the keyboard focus on it gives the focus back to the password.
    void OnePwdList_CheckBoxClick() { ReturnFocusFrom(this->Ui().OnePwdList_CheckBox); }

    // Esc is Cancel: this file is skipped.
    void reject() override { Close(PromptAnswer::Skip); }

protected:
    const PasswordDialogSetup& Setup() const { return setup_; }
    UserAnswers& Answers() { return answers_; }

    void ReturnFocusFrom(QWidget* checkBox) {
        if (checkBox->hasFocus())
            this->Ui().MaskEdit1->setFocus(Qt::OtherFocusReason);
    }

    // The box a click into which runs the checks.
    void ChecksOnClickInto(QLineEdit* box) {
        clickBox_ = box;
        box->installEventFilter(this);
    }

    // Closes the dialog; on Go the answer takes the typed password and the check boxes.
    void Close(PromptAnswer result) {
        answer_.Result = result;
        if (result == PromptAnswer::Go) {
            answer_.Password = TypedBytes(this->Ui().MaskEdit1);
            answer_.OnePerList = this->Ui().OnePwdList_CheckBox->isChecked();
            Complete(answer_);
        }
        WipeBoxes();
        if (result == PromptAnswer::Go)
            this->accept();
        else
            this->QDialog::reject();
    }
    // What a dialog adds to the answer of OK.
    virtual void Complete(PasswordDialogAnswer&) {}
    virtual void WipeBoxes() { WipeEdit(this->Ui().MaskEdit1); }

    void showEvent(QShowEvent* event) override {
        FormDialog<Form>::showEvent(event);
        FormActivate();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == clickBox_ && event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            clickBox_->setFocus(Qt::MouseFocusReason);
            Submit_ButtonClick();
        }
        return FormDialog<Form>::eventFilter(watched, event);
    }

private:
    UserAnswers& answers_;
    PasswordDialogSetup setup_;
    PasswordDialogAnswer answer_;
    QLineEdit* clickBox_ = nullptr;
};

} // namespace qv
