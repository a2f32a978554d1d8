#include "StoredPasswords.h"

#include "FileSystem.h"
#include "MasterPass.h"
#include "Paths.h"
#include "RegistryFile.h"
#include "RegistryKeys.h"
#include "Report.h"

#include <cstdint>
#include <string>

namespace qv::cli {

namespace {

// A system text without the run of blanks that pads it for its message box, followed by the
// same in English for whoever reads it at a terminal or in a log.
std::string Explained(const char* text, const std::string& english) {
    std::string line = text;
    line.erase(line.find_last_not_of(' ') + 1);
    return line + " " + english;
}

// Why a database cannot be used, from the code of ReadDatabase.
std::string DatabaseProblem(std::int32_t code) {
    switch (code) {
    case DatabaseCannotOpen:
        return "it cannot be opened";
    case DatabaseReadFailed:
        return "it is cut short or cannot be read";
    case DatabaseWrongKey:
        return "its content is damaged";
    case DatabaseNoMemory:
        return "out of memory";
    case DatabaseNotPt98:
        return "it is not a database of stored passwords: it does not begin with \"PT98\"";
    default:
        return "failed with code " + std::to_string(code);
    }
}

// The master password as the dialog asks for it, from the terminal or another source.
class MasterPasswordInput : public MasterPasswordPrompt {
public:
    MasterPasswordInput(const PasswordRequest& request, const std::string& path)
        : request_(request), path_(path) {}

    MasterPwdAnswer Ask(TQV_PwdTable& table) override {
        PasswordRules rules;
        rules.minimum = MasterPwdMinLength;
        rules.maximum = MasterPwdMaxLength;
        // Nothing else catches a typing error in the master password of a new database.
        rules.confirm = !table.MasterPass.DatabaseExists();
        rules.description = (rules.confirm ? "new database " : "database ") + path_ + ", " +
                            std::to_string(MasterPwdMinLength) + " to " +
                            std::to_string(MasterPwdMaxLength) + " characters";
        rules.what = "master password";
        rules.options = "--master-password";
        rules.tooFew =
            Explained(MasterPwdTooShortMessage, "Too few characters in the master password.");
        rules.tooMany =
            Explained(MasterPwdTooLongMessage, "Too many characters in the master password.");
        rules.differ = Explained(MasterPwdMismatchMessage, "The two master passwords differ.");
        rules.accept = [&](const SecureBytes& first, const SecureBytes& second) {
            const std::string message = table.SubmitMasterPassword(first, second);
            if (message == MasterPwdWrongMessage)
                return Explained(MasterPwdWrongMessage,
                                 "Wrong master password for the database " + path_ + ".");
            return message;
        };
        SecureBytes password;
        if (!ReadPassword(request_, rules, password, error))
            return MasterPwdAnswer::Later;
        return MasterPwdAnswer::Ok;
    }

    std::string error;

private:
    const PasswordRequest& request_;
    const std::string& path_;
};

} // namespace

std::string DefaultDatabaseLocation() {
    RegistryFile registry;
    if (registry.Load(RegistryFile::DefaultPath())) {
        const RegistryValue* dir = registry.FindValue(keys::MasterPass, "Dir");
        if (dir && dir->type == RegistryValue::Type::Text && !dir->text.empty())
            return AbsolutePath(dir->text);
    }
    return AbsolutePath(DefaultDatabasePath());
}

Button ReportedAnswers::Ask(MessageKind, const std::string& text, unsigned buttons) {
    ++shown_;
    Report(subject, text == DatabaseErrorMessage ? text + " (" + database_ + ")" : text);
    for (unsigned b = ButtonOk; b <= ButtonAll; b <<= 1)
        if (buttons & b)
            return static_cast<Button>(b);
    return ButtonOk;
}

StoredPasswords::StoredPasswords(TQV_Pwd& holder, std::string path)
    : path_(std::move(path)), answers_(path_), table_(holder, answers_) {
    table_.MasterPass.Store = true;
    table_.MasterPass.Dir = path_;
}

bool StoredPasswords::Open(const PasswordRequest& request, std::string& error) {
    auto unusable = [&](std::int32_t code) {
        error = path_ + ": " + DatabaseErrorMessage + " (" + DatabaseProblem(code) + ")";
        return false;
    };
    const bool exists = Exists();
    if (exists) {
        // The form of the file first, so that nobody types a master password for a file that
        // is no database: without a master password the check can only fail at the key.
        if (const std::int32_t code = table_.ReadDatabase(false); code != DatabaseWrongKey)
            return unusable(code);
    } else if (!IsDirectory(DirectoryPart(path_))) {
        error = path_ + ": there is no database, and no folder of that name to create it in";
        return false;
    }

    MasterPasswordInput input(request, path_);
    table_.Prompt = &input;
    table_.PromptForMasterPassword();
    table_.Prompt = nullptr;
    if (!table_.MasterPass.HasPassword) {
        error = input.error;
        return false;
    }
    if (exists) {
        // Damage behind a good key check shows only when the whole file is read.
        table_.ClearEntries();
        const std::int32_t code = table_.ReadDatabase(true);
        table_.ClearEntries();
        if (code != DatabaseOk)
            return unusable(code);
    }
    return true;
}

bool StoredPasswords::Store(const std::string& subject, const std::string& key) {
    answers_.subject = subject;
    const unsigned before = answers_.Shown();
    table_.StorePassword(key);
    return answers_.Shown() == before && table_.MasterPass.Store && table_.MasterPass.HasPassword;
}

bool StoredPasswords::Fetch(const std::string& subject, const std::string& key) {
    answers_.subject = subject;
    return table_.FetchPassword(key);
}

bool StoredPasswords::Consume(const std::string& subject, const std::string& key) {
    answers_.subject = subject;
    return table_.ConsumePassword(key);
}

} // namespace qv::cli
