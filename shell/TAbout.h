// The about box: the program's name and version, the address where it is published, the
// system's version and the machine's memory.
#pragma once

#include "FormDialog.h"
#include "ui_TAbout.h"

#include <functional>
#include <string>

namespace qv {

class TAbout : public FormDialog<Ui::TAbout> {
    Q_OBJECT

public:
    explicit TAbout(QWidget* parent = nullptr);

    // Opens the address of the link in the browser.
    std::function<void(const std::string& address)> OpenLink;

    // Shows the box modally with the link's address and the two values.
    void ShowAbout(const std::string& address, const std::string& osVersion,
                   const std::string& memory);
    void Http_LabelClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace qv
