// Asking for the password of one file before it is encrypted or decrypted: whether a held
// password serves, what the dialog shows, and what its OK changes in the current password.
#pragma once

#include "ListEntries.h"
#include "PasswordDialog.h"

#include <string>

namespace qv {

class TQV_DirCryptor;
class TQV_MasterPass;
class TQV_PrgState;
class TQV_Pwd;
class TQV_PwdExpiry;
struct TQV_Settings;

class TQV_PasswordPrompts {
public:
    // pwd is the current password the engine takes; expiry starts its lifetime on OK; master
    // tells whether the database is in use; state receives the store choice; settings give the
    // method, ShowCry and the list check box's default; work is the running operation's list.
    TQV_PasswordPrompts(TQV_Pwd& pwd, TQV_PwdExpiry& expiry, const TQV_MasterPass& master,
                        TQV_PrgState& state, const TQV_Settings& settings,
                        const TQV_DirCryptor& work);
    TQV_PasswordPrompts(const TQV_PasswordPrompts&) = delete;
    TQV_PasswordPrompts& operator=(const TQV_PasswordPrompts&) = delete;

    // The dialogs; a prompt without its dialog answers CancelAll.
    PasswordDialog* Encrypt = nullptr;
    PasswordDialog* Decrypt = nullptr;

    // The password for the plain file fileName of the work list's directory. A held password
    // serves without a dialog while OnePassword or the list check box of the last dialog keeps
    // it (and the last store choice with it). On OK the typed password becomes the current one,
    // and the two check boxes are taken over.
    PromptAnswer PromptToEncrypt(const std::string& fileName);
    // The password for the crypted file of list caption fileName, with the same reuse rule; the
    // dialog shows the method from the file's header. The store choice is left as it is.
    PromptAnswer PromptToDecrypt(const std::string& fileName);

    // The Cancel all button of the direction's dialog.
    void ShowCancelAll(Direction direction, bool visible);

private:
    bool Reuse() const;
    PasswordDialogSetup Setup(const std::string& fileName) const;
    // Shows the dialog (none answers CancelAll); on OK the typed password becomes the current
    // one, its lifetime starts and the list check box is taken over.
    PasswordDialogAnswer Ask(PasswordDialog* dialog, const PasswordDialogSetup& setup);

    TQV_Pwd& pwd_;
    TQV_PwdExpiry& expiry_;
    const TQV_MasterPass& master_;
    TQV_PrgState& state_;
    const TQV_Settings& settings_;
    const TQV_DirCryptor& work_;
};

} // namespace qv
