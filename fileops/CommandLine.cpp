#include "CommandLine.h"

#include "CryptFile.h"
#include "DirCryptor.h"
#include "FileOps.h"
#include "FileSystem.h"
#include "MasterPass.h"
#include "OpenFiles.h"
#include "PasswordPrompts.h"
#include "Paths.h"
#include "PrgState.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "PwdExpiry.h"
#include "PwdTable.h"
#include "SecureMemory.h"
#include "UserAnswers.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fnmatch.h>
#include <unistd.h>

namespace qv {

namespace {

constexpr const char* PassSwitch = "/pass:";
constexpr const char* MasterPassSwitch = "/masterpass:";
constexpr std::size_t PassLength = 6;
constexpr std::size_t MasterPassLength = 12;
constexpr std::size_t CryptExtensionLength = std::char_traits<char>::length(CryptExtension);

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Where the password text of a password switch starts; 0 for any other argument.
std::size_t PasswordStart(const std::string& lower) {
    if (StartsWith(lower, MasterPassSwitch))
        return MasterPassLength;
    if (StartsWith(lower, PassSwitch))
        return PassLength;
    return 0;
}

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?[") != std::string::npos;
}

// The folder can be made the current one: it is a folder and may be searched.
bool CanEnter(const std::string& directory) {
    return IsDirectory(directory) && access(directory.c_str(), X_OK) == 0;
}

} // namespace

CommandArguments::CommandArguments(std::vector<std::string> items, std::string baseDirectory,
                                   std::vector<const char*> origins)
    : items_(std::move(items)), origins_(std::move(origins)),
      baseDirectory_(std::move(baseDirectory)) {}

void CommandArguments::KeepThoseIn(int argc, char** argv) {
    std::vector<std::string> kept;
    std::vector<const char*> keptOrigins;
    for (std::size_t i = 0; i < items_.size() && i < origins_.size(); ++i) {
        if (std::find(argv + 1, argv + argc, origins_[i]) == argv + argc)
            continue;
        kept.push_back(items_[i]);
        keptOrigins.push_back(origins_[i]);
    }
    Wipe();
    items_ = std::move(kept);
    origins_ = std::move(keptOrigins);
}

CommandArguments& CommandArguments::operator=(CommandArguments&& other) {
    if (this != &other) {
        Wipe();
        items_ = std::move(other.items_);
        origins_ = std::move(other.origins_);
        baseDirectory_ = std::move(other.baseDirectory_);
    }
    return *this;
}

CommandArguments::~CommandArguments() {
    Wipe();
}

void CommandArguments::Wipe() {
    for (std::string& item : items_)
        SecureZero(item.data(), item.size());
    items_.clear();
    origins_.clear();
}

CommandArguments TakeArguments(int argc, char** argv) {
    std::vector<std::string> items;
    std::vector<const char*> origins;
    for (int i = 1; i < argc; ++i) {
        items.emplace_back(argv[i]);
        origins.push_back(argv[i]);
        const std::size_t start = PasswordStart(AsciiLower(argv[i]));
        if (start > 0)
            SecureZero(argv[i] + start, std::strlen(argv[i] + start));
    }
    return CommandArguments(std::move(items), ShellCurrentDirectory(), std::move(origins));
}

std::string ResolveLongName(const std::string& path) {
    const std::string name = FileNamePart(path);
    if (PathExists(path) || IsSymbolicLink(path) || !HasWildcard(name))
        return path;
    const std::string directory = DirectoryPart(path);
    DIR* folder = opendir(directory.empty() ? "." : directory.c_str());
    if (!folder)
        return path;
    std::vector<std::string> matches;
    while (const dirent* entry = readdir(folder)) {
        const std::string found = entry->d_name;
        if (found != "." && found != ".." && fnmatch(name.c_str(), found.c_str(), FNM_PERIOD) == 0)
            matches.push_back(found);
    }
    closedir(folder);
    if (matches.empty())
        return path;
    return JoinPath(directory, *std::min_element(matches.begin(), matches.end()));
}

TQV_CommandLine::TQV_CommandLine(Parts parts, UserAnswers& answers)
    : p_(parts), answers_(answers) {}

bool TQV_CommandLine::ProcessParameters(const CommandArguments& arguments) {
    if (arguments.Items().empty())
        return false;
    const RunScope run(p_.State);
    TQV_MasterPass& master = p_.Passwords.MasterPass;
    std::string pending;
    const std::int32_t savedMethod = p_.Settings.Method;
    const bool savedStore = master.Store;

    for (const std::string& argument : arguments.Items()) {
        std::string lower = AsciiLower(argument);
        if (lower == "/open" || lower == "/print" || lower == "/encrypt" || lower == "/decrypt") {
            pending = lower;
        } else if (lower == "/des" || lower == "/idea" || lower == "/3xdes") {
            p_.Settings.Method = lower[1] == '3'   ? MethodTripleDes
                                 : lower[1] == 'd' ? MethodDes
                                                   : MethodIdea;
        } else if (const std::size_t start = PasswordStart(lower); start > 0) {
            if (start == MasterPassLength) {
                TakePassword(master, argument, start);
                master.Store = true;
                if (master.HasPassword)
                    master.Accept();
            } else {
                TakePassword(p_.Pwd, argument, start);
                if (p_.Pwd.HasPassword)
                    p_.Expiry.Accept();
            }
            SecureZero(lower.data(), lower.size());
        } else if (lower == "/usekeyfile") {
            p_.State.SavePassword = true;
            master.Store = true;
        } else if (argument.empty()) {
            continue; // names no file
        } else if (!ProcessFile(argument, arguments.BaseDirectory(), pending)) {
            break;
        }
    }

    p_.Settings.Method = savedMethod;
    master.Store = savedStore;
    return true;
}

void TQV_CommandLine::TakePassword(TQV_Pwd& holder, const std::string& argument,
                                   std::size_t start) {
    holder.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(argument.data()) + start,
                            argument.size() - start);
    holder.HasPassword = holder.PasswordLength >= static_cast<std::int32_t>(PasswordMinLength);
}

bool TQV_CommandLine::ProcessFile(const std::string& argument, const std::string& baseDirectory,
                                  const std::string& pending) {
    // The folder is fixed as an absolute path now, from the folder the program started in.
    const std::string path =
        NormalisePath(argument[0] == '/' ? argument : JoinPath(baseDirectory, argument));
    const std::string directory = DirectoryPart(path);
    if (!CanEnter(directory)) {
        answers_.ShowError("The folder " + directory + " cannot be entered. The argument " +
                           argument + " and the ones after it are not processed.");
        return false;
    }
    p_.Work.Directory = directory;
    const std::string name = FileNamePart(ResolveLongName(path));
    if (AsciiLower(ExtensionOf(name)) == CryptExtension)
        Decrypt(directory, name, pending);
    else
        Encrypt(directory, name);
    return true;
}

void TQV_CommandLine::Encrypt(const std::string& directory, const std::string& name) {
    if (p_.Prompts.PromptToEncrypt(name) != PromptAnswer::Go)
        return;
    // The password is filed once the crypted file is written, never for a file that failed.
    p_.Ops.EncrFile(directory, name, p_.State.SavePassword ? &p_.Passwords : nullptr);
}

void TQV_CommandLine::Decrypt(const std::string& directory, std::string name,
                              const std::string& pending) {
    const bool handOver = pending == "/open" || pending == "/print";
    // A file decrypted for an application that no slot can watch would stay in plain text.
    if (handOver && p_.OpenFiles.Full()) {
        answers_.ShowError(FillIn("%s was not decrypted: ", name) + TableFullMessage);
        return;
    }
    // The password is stored under the plain file's full path.
    const std::string plainPath =
        JoinPath(directory, name.substr(0, name.size() - CryptExtensionLength));
    // The crypted list names its files without ".cry" while ShowCry is off, and the file
    // operations take names in the list's form.
    if (!p_.Settings.ShowCry)
        name.resize(name.size() - CryptExtensionLength);
    TQV_MasterPass& master = p_.Passwords.MasterPass;
    const bool fromDatabase = p_.Passwords.FetchPassword(plainPath);
    if (!fromDatabase && p_.Prompts.PromptToDecrypt(name) != PromptAnswer::Go)
        return;
    if (master.HasPassword && master.Events)
        master.Events->EnableMasterPwdExpireButton(true);
    if (p_.Pwd.HasPassword && p_.Expiry.Events)
        p_.Expiry.Events->EnablePwdExpireButton(true);

    const CryptOutcome outcome =
        p_.Ops.DecrFile(directory, name, fromDatabase ? &p_.Passwords : nullptr, plainPath);
    if (outcome.Status == CryptStatus::Done && handOver)
        p_.OpenFiles.ProcessDecrCmd(pending.substr(1), outcome.OutputPath, fromDatabase);
    // A stored password serves its own file only: the files after it are not encrypted or
    // decrypted with a password the user may never have typed.
    if (fromDatabase) {
        p_.Expiry.SetExpired();
        DropExpiredPasswords(p_.Pwd, master);
    }
}

} // namespace qv
