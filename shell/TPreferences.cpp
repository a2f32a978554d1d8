#include "TPreferences.h"

#include "ProgramSettings.h"
#include "Pwd.h"

#include <QFileDialog>
#include <QShortcut>

namespace qv {

namespace {

std::string ChooseWithSaveDialog(QWidget* parent, const std::string& start) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("key");
    // An existing database is the usual choice, not a file to be replaced.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(QString::fromStdString(start));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first().toStdString();
}

} // namespace

TPreferences::TPreferences(QWidget* parent) : FormDialog(parent, Frame::NoButtons) {
    Ui::TPreferences& ui = Ui();
    ChooseFile = [this](const std::string& start) { return ChooseWithSaveDialog(this, start); };
    connect(ui.OnePwd_CheckBox, &QCheckBox::clicked, this, &TPreferences::OnePwd_CheckBoxClick);
    connect(ui.OnePerList_CheckBox, &QCheckBox::clicked, this, &TPreferences::OnePwd_CheckBoxClick);
    connect(ui.Store_CheckBox, &QCheckBox::clicked, this, &TPreferences::Store_CheckBoxClick);
    connect(ui.MasterPwdExpires_CheckBox, &QCheckBox::clicked, this,
            &TPreferences::MasterPwdExpires_CheckBoxClick);
    connect(ui.Never_Button, &QPushButton::clicked, this,
            [this] { Ui().ExpTime_SpinEdit->setValue(0); });
    connect(ui.Button1, &QPushButton::clicked, this,
            [this] { Ui().MasterPwdExpTime_SpinEdit->setValue(0); });
    connect(ui.Browse, &QPushButton::clicked, this, &TPreferences::BrowseClick);
    connect(ui.Ok_Button, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui.Button2, &QPushButton::clicked, this, &QDialog::reject);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] {
        if (ShowHelpTopic)
            ShowHelpTopic(HelpTopic);
    });
}

bool TPreferences::Ask(PreferenceValues& values, std::string& dir) {
    dir_ = &dir;
    Fill(values);
    const bool ok = exec() == QDialog::Accepted;
    if (ok)
        values = Read();
    dir_ = nullptr;
    return ok;
}

void TPreferences::Fill(const PreferenceValues& values) {
    Ui::TPreferences& ui = Ui();
    ui.ShowCry_CheckBox->setChecked(values.ShowCry);
    ui.ShowTIP_CheckBox->setChecked(values.ShowTIP);
    ui.OnePwd_CheckBox->setChecked(values.OnePassword);
    ui.OnePerList_CheckBox->setChecked(values.OnePerList);
    ui.ExpTime_SpinEdit->setValue(values.Expire);
    OnePwd_CheckBoxClick();
    // A method the buttons do not know leaves them as they were.
    if (values.Method == MethodIdea)
        ui.IDEA_RadioButton->setChecked(true);
    else if (values.Method == MethodDes)
        ui.DES_RadioButton->setChecked(true);
    else if (values.Method == MethodTripleDes)
        ui.TDES_RadioButton->setChecked(true);
    ui.Store_CheckBox->setChecked(values.Store);
    Store_CheckBoxClick();
    ui.MasterPwdExpires_CheckBox->setChecked(values.Expires);
    MasterPwdExpires_CheckBoxClick();
    ui.MasterPwdExpTime_SpinEdit->setValue(values.ExpTime);
    ui.Path_Edit->setText(QString::fromStdString(values.Dir));
}

PreferenceValues TPreferences::Read() const {
    const Ui::TPreferences& ui = Ui();
    PreferenceValues values;
    values.ShowCry = ui.ShowCry_CheckBox->isChecked();
    values.ShowTIP = ui.ShowTIP_CheckBox->isChecked();
    values.OnePassword = ui.OnePwd_CheckBox->isChecked();
    values.OnePerList = ui.OnePerList_CheckBox->isChecked();
    values.Expire = ui.ExpTime_SpinEdit->value();
    values.Method = ui.IDEA_RadioButton->isChecked()   ? MethodIdea
                    : ui.DES_RadioButton->isChecked()  ? MethodDes
                    : ui.TDES_RadioButton->isChecked() ? MethodTripleDes
                                                       : 0;
    values.Store = ui.Store_CheckBox->isChecked();
    values.Dir = ui.Path_Edit->text().toStdString();
    values.Expires = ui.MasterPwdExpires_CheckBox->isChecked();
    values.ExpTime = ui.MasterPwdExpTime_SpinEdit->value();
    return values;
}

void TPreferences::OnePwd_CheckBoxClick() {
    Ui::TPreferences& ui = Ui();
    const bool one = ui.OnePwd_CheckBox->isChecked();
    ui.Panel1->setEnabled(one);
    ui.Panel1->setVisible(one);
    ui.OnePerList_CheckBox->setEnabled(!one);
    ui.OnePerList_CheckBox->setVisible(!one);
    if (one)
        ui.OnePerList_CheckBox->setChecked(false);
}

void TPreferences::Store_CheckBoxClick() {
    Ui().StorePanel->setVisible(Ui().Store_CheckBox->isChecked());
}

void TPreferences::MasterPwdExpires_CheckBoxClick() {
    Ui().Panel3->setVisible(Ui().MasterPwdExpires_CheckBox->isChecked());
}

void TPreferences::BrowseClick() {
    const std::string start = Ui().Path_Edit->text().toStdString();
    const std::string chosen = ChooseFile ? ChooseFile(start) : std::string();
    if (chosen.empty())
        return;
    Ui().Path_Edit->setText(QString::fromStdString(chosen));
    // The path is the setting at once, whatever the dialog's end.
    if (dir_)
        *dir_ = chosen;
}

void TPreferences::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    adjustSize();
}

} // namespace qv
