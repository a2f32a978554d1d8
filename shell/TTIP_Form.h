// The tip of the day: one of thirteen tips, the next one on request, more about it in the help,
// and whether it comes at the next start.
#pragma once

#include "FormDialog.h"
#include "Tips.h"
#include "ui_TTIP_Form.h"

#include <functional>

namespace qv {

class TTIP_Form : public FormDialog<Ui::TTIP_Form> {
    Q_OBJECT

public:
    explicit TTIP_Form(QWidget* parent = nullptr);

    // Opens the help window at a topic ("More info...").
    std::function<void(int topic)> ShowHelpTopic;

    // Shows the dialog modally with showTip in its check box; OK writes the box back into
    // showTip, any other way of closing leaves it.
    void ShowTips(bool& showTip);

    // Shows the next tip, never the one shown last.
    void SetTIP();
    std::size_t Shown() const { return choice_.Shown(); }

private:
    TQV_TipChoice choice_; // kept for the whole run
};

} // namespace qv
