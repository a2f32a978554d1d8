#include "PwdExpiry.h"

#include "MasterPass.h"

#include <cstdint>

namespace qv {

void TQV_PwdExpiry::Accept() {
    if (!pwd_.OnePassword)
        return;
    pwd_.PasswordExpired = false;
    if (pwd_.ExpireMinutes > 0) {
        pwd_.ExpiryTicks = 0;
        if (Events)
            Events->StartPwdTimer();
    }
    if (Events)
        Events->EnablePwdExpireButton(true);
}

void TQV_PwdExpiry::Tick() {
    ++pwd_.ExpiryTicks;
    if (static_cast<std::int64_t>(pwd_.ExpiryTicks) >
        60 * static_cast<std::int64_t>(pwd_.ExpireMinutes))
        SetExpired();
}

void TQV_PwdExpiry::SetExpired() {
    pwd_.PasswordExpired = true;
    if (Events) {
        Events->StopPwdTimer();
        Events->EnablePwdExpireButton(false);
    }
}

void TQV_PwdExpiry::DisableButtonsOfDropped(const TQV_MasterPass& master) const {
    if (!pwd_.HasPassword && Events)
        Events->EnablePwdExpireButton(false);
    if (!master.HasPassword && master.Events)
        master.Events->EnableMasterPwdExpireButton(false);
}

void DropExpiredPasswords(TQV_Pwd& current, TQV_MasterPass& master) {
    current.HasPassword = current.HasPassword && current.OnePassword && !current.PasswordExpired;
    master.HasPassword = master.HasPassword && !master.PasswordExpired;
}

} // namespace qv
