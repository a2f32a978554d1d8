#include "PasswordPrompts.h"

#include "CryptFile.h"
#include "DirCryptor.h"
#include "MasterPass.h"
#include "Paths.h"
#include "PrgState.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "PwdExpiry.h"

namespace qv {

TQV_PasswordPrompts::TQV_PasswordPrompts(TQV_Pwd& pwd, TQV_PwdExpiry& expiry,
                                         const TQV_MasterPass& master, TQV_PrgState& state,
                                         const TQV_Settings& settings, const TQV_DirCryptor& work)
    : pwd_(pwd), expiry_(expiry), master_(master), state_(state), settings_(settings), work_(work) {
}

bool TQV_PasswordPrompts::Reuse() const {
    return pwd_.HasPassword && (pwd_.OnePassword || pwd_.OnePerList);
}

PasswordDialogSetup TQV_PasswordPrompts::Setup(const std::string& fileName) const {
    PasswordDialogSetup setup;
    setup.Directory = work_.Directory;
    setup.FileName = fileName;
    // One password for the list is a choice only when it saves asking again.
    setup.ListBoxEnabled = !pwd_.OnePassword && work_.FileNames.size() > 1;
    setup.ListBoxChecked = setup.ListBoxEnabled && settings_.OnePerList;
    return setup;
}

PromptAnswer TQV_PasswordPrompts::PromptToEncrypt(const std::string& fileName) {
    if (Reuse())
        return PromptAnswer::Go;
    PasswordDialogSetup setup = Setup(fileName);
    setup.MethodName = MethodName(settings_.Method);
    setup.EnterText = EncryptEnterText(settings_.Method);
    setup.MaxLength = EncryptMaxLength(settings_.Method);
    setup.SaveBoxEnabled = master_.Store;
    const PasswordDialogAnswer answer = Ask(Encrypt, setup);
    if (answer.Result == PromptAnswer::Go)
        state_.SavePassword = answer.SavePassword;
    return answer.Result;
}

PromptAnswer TQV_PasswordPrompts::PromptToDecrypt(const std::string& fileName) {
    if (Reuse())
        return PromptAnswer::Go;
    PasswordDialogSetup setup = Setup(fileName);
    const std::string path =
        JoinPath(work_.Directory, CryptedFileName(work_.Directory, fileName, settings_.ShowCry));
    setup.MethodName = FileMethodName(path);
    setup.EnterText = DecryptEnterText(setup.MethodName);
    setup.MaxLength = DecryptMaxLength;
    return Ask(Decrypt, setup).Result;
}

PasswordDialogAnswer TQV_PasswordPrompts::Ask(PasswordDialog* dialog,
                                              const PasswordDialogSetup& setup) {
    PasswordDialogAnswer answer;
    if (!dialog) {
        answer.Result = PromptAnswer::CancelAll;
        return answer;
    }
    answer = dialog->Ask(setup);
    if (answer.Result == PromptAnswer::Go) {
        pwd_.SetTypedPassword(answer.Password.data(), answer.Password.size());
        pwd_.HasPassword = true;
        expiry_.Accept();
        pwd_.OnePerList = answer.OnePerList;
    }
    return answer;
}

void TQV_PasswordPrompts::ShowCancelAll(Direction direction, bool visible) {
    if (PasswordDialog* dialog = direction == Direction::Encrypt ? Encrypt : Decrypt)
        dialog->ShowCancelAll(visible);
}

} // namespace qv
