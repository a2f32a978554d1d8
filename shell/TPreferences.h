// The preferences dialog: how passwords are held and stored, the default method, the display
// of crypted names and the tip of the day. It shows the values ShowPreferences gives it and
// keeps the rules between its controls; what OK changes is ShowPreferences' work.
#pragma once

#include "FormDialog.h"
#include "Preferences.h"
#include "ui_TPreferences.h"

#include <functional>
#include <string>

namespace qv {

class TPreferences : public FormDialog<Ui::TPreferences>, public PreferencesDialog {
    Q_OBJECT

public:
    static constexpr int HelpTopic = 80;

    explicit TPreferences(QWidget* parent = nullptr);

    // Asks for the database's file name, starting from the given one; "" when the user cancels.
    // A save dialog by default; tests put a script here.
    std::function<std::string(const std::string& start)> ChooseFile;
    // Opens the help window at a topic (F1).
    std::function<void(int topic)> ShowHelpTopic;

    bool Ask(PreferenceValues& values, std::string& dir) override;

    // The control rules.
    void OnePwd_CheckBoxClick();
    void Store_CheckBoxClick();
    void MasterPwdExpires_CheckBoxClick();
    void BrowseClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Fill(const PreferenceValues& values);
    PreferenceValues Read() const;

    std::string* dir_ = nullptr; // the database path setting while the dialog is shown
};

} // namespace qv
