// The password dialogs as the runs see them: what a dialog shows for one file, what it answers,
// and the length rules of the passwords typed into them. The dialogs themselves are windows; a
// run reaches them only through PasswordDialog, so tests answer them from a script.
#pragma once

#include "MasterPass.h"
#include "SecureMemory.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace qv {

// How a password dialog was closed; the numbers are the dialogs' results.
enum class PromptAnswer : int {
    Go = 1,        // OK: go on with this file
    Skip = 2,      // Cancel (or Esc): skip this file
    CancelAll = 3, // Cancel all: stop the whole run
};

// What a password dialog shows for one file and how its check boxes start.
struct PasswordDialogSetup {
    std::string Directory;       // the operation directory, shortened by the dialog to fit
    std::string FileName;        // joined to the shortened directory
    std::string MethodName;      // "DES", "IDEA", "3xDES" or "-"
    std::string EnterText;       // the line above the password box, with the length range
    std::size_t MaxLength = 24;  // bytes accepted; at least PasswordMinLength are needed
    bool ListBoxEnabled = false; // one password for the list of files
    bool ListBoxChecked = false;
    bool SaveBoxEnabled = false; // store the password on disk: checked exactly when enabled
};

struct PasswordDialogAnswer {
    PromptAnswer Result = PromptAnswer::Skip;
    SecureBytes Password;      // the typed password's bytes, on Go only
    bool OnePerList = false;   // the list check box as it was on OK
    bool SavePassword = false; // the store check box as it was on OK
};

class PasswordDialog {
public:
    virtual ~PasswordDialog() = default;
    // Shows the dialog modally for one file and tells how it was closed.
    virtual PasswordDialogAnswer Ask(const PasswordDialogSetup& setup) = 0;
    // The Cancel all button, offered only while a run is going on that it can stop.
    virtual void ShowCancelAll(bool visible) = 0;
};

inline constexpr std::size_t PasswordMinLength = 6;
// The decryption dialog takes any length the three methods use.
inline constexpr std::size_t DecryptMaxLength = 24;

// The longest password a new file of the method takes: 16 bytes for IDEA, 8 for DES, 24 for
// 3xDES (and for a code that names no method, which the engine then refuses anyway).
std::size_t EncryptMaxLength(std::int32_t method);

// The encryption dialog's line above the password box for the method setting.
std::string EncryptEnterText(std::int32_t method);
// The decryption dialog's line for the file's method name ("-" when it cannot be read).
std::string DecryptEnterText(const std::string& methodName);

// The directory as a dialog shows it before the file name: whole when fits says it fits, else
// with leading directory names given way to "..." until it fits. The last directory name always
// stays, so that files of the same name in two folders of a tree run can be told apart.
std::string ShortenedDirectory(const std::string& directory,
                               const std::function<bool(const std::string&)>& fits);

// The messages of the two dialogs' checks.
inline constexpr const char* EncryptTooFewMessage = "Too few characters in password.";
inline constexpr const char* EncryptTooManyMessage = "Too many characters in password.";
inline constexpr const char* EncryptMismatchMessage = MasterPwdMismatchMessage;
inline constexpr const char* DecryptTooFewMessage =
    "太少密碼的字元符號輸入.        "; // too few password characters entered
inline constexpr const char* DecryptTooManyMessage =
    "太多密碼的字元符號輸入.         "; // too many password characters entered

} // namespace qv
