// The runs' fixture: real folders, with the password dialogs, the message boxes and the master
// password answered from scripts and a recorder standing in for the window. Shared by the
// tests of the runs, of the files handed to applications and of the command line.
#pragma once

#include "CryptFile.h"
#include "DirCryptor.h"
#include "FileListBox.h"
#include "FileRuns.h"
#include "FileSystem.h"
#include "PasswordPrompts.h"
#include "PasswordsSupport.h"
#include "Paths.h"
#include "PrgState.h"
#include "ProgramSettings.h"
#include "Pwd.h"
#include "PwdExpiry.h"
#include "RecordingWindow.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvtest {

using namespace qv;

constexpr const char* Typed = "secret-12";
constexpr const char* MasterPassword = "Opal-Kwartz7";

// Plays a password dialog: each visit closes it as the script says, by default with OK and the
// password Typed. Records what each visit showed.
class ScriptedPasswordDialog : public PasswordDialog {
public:
    struct Reply {
        PromptAnswer result = PromptAnswer::Go;
        std::string password = Typed;
        bool onePerList = false;
        bool save = false;
    };

    std::deque<Reply> next;
    std::vector<PasswordDialogSetup> asked;
    bool cancelAllShown = false;
    std::vector<bool> cancelAllWhenAsked;

    PasswordDialogAnswer Ask(const PasswordDialogSetup& setup) override {
        asked.push_back(setup);
        cancelAllWhenAsked.push_back(cancelAllShown);
        const Reply reply = next.empty() ? Reply() : next.front();
        if (!next.empty())
            next.pop_front();
        PasswordDialogAnswer answer;
        answer.Result = reply.result;
        if (reply.result == PromptAnswer::Go) {
            answer.Password = Bytes(reply.password);
            // A disabled check box cannot be ticked.
            answer.OnePerList = reply.onePerList && setup.ListBoxEnabled;
            answer.SavePassword = reply.save;
        }
        return answer;
    }
    void ShowCancelAll(bool visible) override { cancelAllShown = visible; }

    std::vector<std::string> Files() const {
        std::vector<std::string> files;
        for (const PasswordDialogSetup& setup : asked)
            files.push_back(setup.FileName);
        return files;
    }
};

// The window over real folders: entering a folder lists its files the way the lists show them,
// and "select all" selects every entry of a list.
class FolderWindow : public RecordingWindow, public DirectoryWalk {
public:
    std::string top; // the folders are logged relative to it
    std::string tree;
    bool showCry = true;
    std::vector<std::string> entries[2];
    std::vector<std::string> visited; // the folder shown at each select all, in order
    std::function<void()> onMessages;

    std::string Relative(const std::string& path) const {
        return path == top ? "." : path.substr(top.size() + 1);
    }

    std::string TreeDirectory() const override { return tree; }
    bool EnterDirectory(const std::string& directory, std::string& reason) override {
        DIR* handle = opendir(directory.c_str());
        if (!handle) {
            reason = std::strerror(errno);
            return false;
        }
        closedir(handle);
        tree = directory;
        shown = directory;
        ReadLists();
        log.push_back("enter " + Relative(directory));
        return true;
    }
    void EnableTree(bool enabled) override { log.push_back(enabled ? "tree on" : "tree off"); }
    void LetMessagesThrough() override {
        if (onMessages)
            onMessages();
    }
    void ReReadLists() override { log.push_back("lists read again"); }
    void SelectAllItems(ListSide list) override {
        selected[Index(list)] = entries[Index(list)];
        visited.push_back(Relative(shown));
    }

    void ReadLists() {
        TQV_FileListBox files(TQV_FileListBox::Kind::Files);
        files.Read(shown);
        entries[0].clear();
        entries[1].clear();
        for (const std::string& name : files.Items()) {
            if (IsCryptedFileName(name))
                entries[1].push_back(CryptedCaption(name, showCry));
            else
                entries[0].push_back(name);
        }
    }
};

class RunsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(AbsolutePath(work), work);
        settings.Method = MethodIdea;
        settings.ShowCry = true;
        // The engine looks at the program's stop flag, as in the window.
        pwd.AbortRequested = &state.AbortRequested;
        window.top = work;
        window.tree = work;
        window.shown = work;
        prompts.Encrypt = &encryptDialog;
        prompts.Decrypt = &decryptDialog;
        table.MasterPass.Store = true;
        table.MasterPass.Dir = dir / "xwords.001";
        table.Prompt = &masterPrompt;
        table.MasterPass.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(MasterPassword),
                                          std::strlen(MasterPassword));
        table.MasterPass.HasPassword = true;
    }

    std::string Path(const std::string& name) const { return dir / name; }

    void MakeFolder(const std::string& name) {
        ASSERT_EQ(mkdir(Path(name).c_str(), 0755), 0) << name;
    }

    // Plain files with their own names as content.
    void WritePlain(std::initializer_list<std::string> names) {
        for (const std::string& name : names)
            WriteText(Path(name), "content of " + name);
    }

    // name.cry encrypted with password, as another run would have left it.
    void WriteCrypted(const std::string& name, const std::string& password) {
        WriteText(Path(name), "content of " + name);
        TQV_Pwd other;
        other.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password.data()),
                               password.size());
        ASSERT_EQ(other.EncryptFile(Path(name), MethodIdea), CryptOk);
        ASSERT_EQ(unlink(Path(name).c_str()), 0);
    }

    // The run's selection in the plain or the crypted list.
    void Select(ListSide list, std::vector<std::string> captions) {
        window.selected[RecordingWindow::Index(list)] = std::move(captions);
    }

    void HoldPassword(const std::string& password) {
        pwd.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password.data()),
                             password.size());
        pwd.HasPassword = true;
    }

    // The password stored under the plain file's full path, or "(none)"; the entry stays.
    std::string StoredFor(const std::string& name) {
        table.ClearEntries();
        EXPECT_EQ(table.ReadDatabase(true), DatabaseOk);
        std::string found = "(none)";
        const std::string prefix = Path(name) + "=";
        for (std::size_t i = 0; i < table.Entries.Size(); ++i) {
            const std::string entry(table.Entries[i]);
            if (entry.rfind(prefix, 0) == 0)
                found = entry.substr(prefix.size());
        }
        table.ClearEntries();
        return found;
    }

    void StorePassword(const std::string& name, const std::string& password) {
        TQV_Pwd holder;
        holder.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password.data()),
                                password.size());
        TQV_PwdTable other(holder, answers);
        other.MasterPass.Store = true;
        other.MasterPass.Dir = table.MasterPass.Dir;
        other.MasterPass.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(MasterPassword),
                                          std::strlen(MasterPassword));
        other.MasterPass.HasPassword = true;
        other.StorePassword(Path(name));
    }

    TempDir dir;
    const std::string work = dir.Path();
    TQV_Pwd pwd;
    TQV_PwdExpiry expiry{pwd};
    TQV_PrgState state;
    TQV_Settings settings;
    TQV_DirCryptor workList;
    ScriptedAnswers answers;
    ScriptedMasterPrompt masterPrompt;
    TQV_PwdTable table{pwd, answers};
    FolderWindow window;
    ScriptedPasswordDialog encryptDialog;
    ScriptedPasswordDialog decryptDialog;
    TQV_FileOps ops{pwd, state, settings, FileOpsFrontEnd{answers, window, window, window}};
    TQV_PasswordPrompts prompts{pwd, expiry, table.MasterPass, state, settings, workList};
    TQV_FileRuns runs{
        TQV_FileRuns::Parts{ops, prompts, table, pwd, expiry, state, settings, workList},
        RunFrontEnd{answers, window, window, window, window}};
};

} // namespace qvtest
