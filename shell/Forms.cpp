#include "Forms.h"

#include "TAbout.h"
#include "TComboChange.h"
#include "TDecrypt.h"
#include "TDelDialog.h"
#include "TEncrypt.h"
#include "TMasterPwd_Form.h"
#include "TPreferences.h"
#include "TTIP_Form.h"

namespace qv {

namespace {

template <typename Window, typename... Args>
std::unique_ptr<Window> Create(const Forms::Created& created, Args&&... args) {
    auto window = std::make_unique<Window>(std::forward<Args>(args)...);
    if (created)
        created(window.get());
    return window;
}

} // namespace

Forms::Forms(UserAnswers& answers, const DriveCheck& drives, TMainWin::LifecycleTrace trace,
             const Created& created) {
    MainWin = Create<TMainWin>(created, answers, drives, std::move(trace));
    Encrypt = Create<TEncrypt>(created, answers);
    Decrypt = Create<TDecrypt>(created, answers);
    About = Create<TAbout>(created);
    Preferences = Create<TPreferences>(created);
    DelDialog = Create<TDelDialog>(created);
    ComboChange = Create<TComboChange>(created, drives);
    MasterPwd_Form = Create<TMasterPwd_Form>(created, answers);
    TIP_Form = Create<TTIP_Form>(created);
    MainWin->SetForms(this);
    MainWin->SetDialogs({DelDialog.get(), MasterPwd_Form.get(), Encrypt.get(), Decrypt.get()});
}

Forms::~Forms() {
    TIP_Form.reset();
    MasterPwd_Form.reset();
    ComboChange.reset();
    DelDialog.reset();
    Preferences.reset();
    About.reset();
    Decrypt.reset();
    Encrypt.reset();
    MainWin.reset();
}

QList<QWidget*> Forms::InCreationOrder() const {
    return {MainWin.get(),     Encrypt.get(),        Decrypt.get(),
            About.get(),       Preferences.get(),    DelDialog.get(),
            ComboChange.get(), MasterPwd_Form.get(), TIP_Form.get()};
}

} // namespace qv
