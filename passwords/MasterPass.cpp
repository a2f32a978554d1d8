#include "MasterPass.h"

#include "FileSystem.h"
#include "Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace qv {

std::string CheckMasterPasswordText(const SecureBytes& first, const SecureBytes& second) {
    if (first.size() < MasterPwdMinLength)
        return MasterPwdTooShortMessage;
    if (first.size() > MasterPwdMaxLength)
        return MasterPwdTooLongMessage;
    if (first != second)
        return MasterPwdMismatchMessage;
    return {};
}

std::string TQV_MasterPass::DatabasePath() const {
    return Dir.empty() ? DefaultDatabasePath() : Dir;
}

bool TQV_MasterPass::DatabaseExists() const {
    return PathExists(DatabasePath());
}

void TQV_MasterPass::Accept() {
    HasPassword = true;
    // A password just accepted is fresh, also when it does not expire: a mark left from an
    // earlier expiry would make the batch logic forget it again at its next boundary.
    PasswordExpired = false;
    if (!Expires)
        return;
    if (ExpireMinutes > 0) {
        ExpiryTicks = 0;
        if (Events)
            Events->StartMasterPwdTimer();
    }
    if (Events)
        Events->EnableMasterPwdExpireButton(true);
}

void TQV_MasterPass::Tick() {
    ++ExpiryTicks;
    if (static_cast<std::int64_t>(ExpiryTicks) >= 60 * static_cast<std::int64_t>(ExpireMinutes))
        SetExpired();
}

void TQV_MasterPass::SetExpired() {
    if (Events)
        Events->StopMasterPwdTimer();
    PasswordExpired = true;
    if (Events)
        Events->EnableMasterPwdExpireButton(false);
}

std::string DefaultDatabasePath() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* account = getpwuid(getuid());
        home = account && account->pw_dir ? account->pw_dir : "/";
    }
    return JoinPath(home, "xwords.001");
}

} // namespace qv
