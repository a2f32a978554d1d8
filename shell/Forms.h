// The program's windows: created once at start, in a fixed order, main window first, and kept
// for the whole run. All but the main window are hidden and shown modally when needed.
#pragma once

#include "MainWin.h"

#include <QList>

#include <functional>
#include <memory>

namespace qv {

class TAbout;
class TComboChange;
class TDecrypt;
class TDelDialog;
class TEncrypt;
class TMasterPwd_Form;
class TPreferences;
class TTIP_Form;

class Forms {
public:
    // Told about each window right after it was created.
    using Created = std::function<void(QWidget*)>;

    Forms(UserAnswers& answers, const DriveCheck& drives, TMainWin::LifecycleTrace trace = {},
          const Created& created = {});
    Forms(const Forms&) = delete;
    Forms& operator=(const Forms&) = delete;
    // The windows go in the reverse order; the main window, which writes the settings, last.
    ~Forms();

    std::unique_ptr<TMainWin> MainWin;
    std::unique_ptr<TEncrypt> Encrypt;
    std::unique_ptr<TDecrypt> Decrypt;
    std::unique_ptr<TAbout> About;
    std::unique_ptr<TPreferences> Preferences;
    std::unique_ptr<TDelDialog> DelDialog;
    std::unique_ptr<TComboChange> ComboChange;
    std::unique_ptr<TMasterPwd_Form> MasterPwd_Form;
    std::unique_ptr<TTIP_Form> TIP_Form;

    QList<QWidget*> InCreationOrder() const;
};

} // namespace qv
