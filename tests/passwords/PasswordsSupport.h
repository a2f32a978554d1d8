// Shared pieces of the password database tests: a table over a temporary folder, a scripted
// master-password dialog and a recorder of the master password's events.
#pragma once

#include "PwdExpiry.h"
#include "PwdTable.h"
#include "ScriptedAnswers.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace qvtest {

inline qv::SecureBytes Bytes(const std::string& text) {
    return qv::SecureBytes(text.begin(), text.end());
}

inline std::string Text(const qv::SecureBytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Plays the master-password dialog: each visit types pairs of texts into the two boxes and
// presses Confirm after each pair, closing with Ok as soon as one is accepted; when none is,
// the dialog is closed with the visit's button. Records every message the dialog showed.
class ScriptedMasterPrompt : public qv::MasterPasswordPrompt {
public:
    struct Visit {
        std::vector<std::pair<std::string, std::string>> typed;
        qv::MasterPwdAnswer close = qv::MasterPwdAnswer::Later;
    };

    std::deque<Visit> visits; // when they run out, the dialog is closed with "later"
    std::vector<std::string> messages;
    int asked = 0;

    void Accepts(const std::string& password) {
        visits.push_back({{{password, password}}, qv::MasterPwdAnswer::Later});
    }

    qv::MasterPwdAnswer Ask(qv::TQV_PwdTable& table) override {
        ++asked;
        if (visits.empty())
            return qv::MasterPwdAnswer::Later;
        const Visit visit = visits.front();
        visits.pop_front();
        for (const auto& [first, second] : visit.typed) {
            const std::string message = table.SubmitMasterPassword(Bytes(first), Bytes(second));
            if (message.empty())
                return qv::MasterPwdAnswer::Ok;
            messages.push_back(message);
        }
        return visit.close;
    }
};

class RecordedEvents : public qv::MasterPassEvents {
public:
    std::vector<std::string> log;
    void StartMasterPwdTimer() override { log.push_back("timer on"); }
    void StopMasterPwdTimer() override { log.push_back("timer off"); }
    void EnableMasterPwdExpireButton(bool enabled) override {
        log.push_back(enabled ? "button on" : "button off");
    }
    void DatabaseSwitchedOff() override { log.push_back("switched off"); }
};

// The current password's timer and expire button.
class RecordedPwdEvents : public qv::PwdExpiryEvents {
public:
    std::vector<std::string> log;
    void StartPwdTimer() override { log.push_back("timer on"); }
    void StopPwdTimer() override { log.push_back("timer off"); }
    void EnablePwdExpireButton(bool enabled) override {
        log.push_back(enabled ? "button on" : "button off");
    }
};

// A database in a temporary folder, in use, with a master password held as the command line
// would give it.
class DatabaseTest : public ::testing::Test {
protected:
    static constexpr const char* Master = "Opal-Kwartz7";

    DatabaseTest() {
        table.MasterPass.Store = true;
        table.MasterPass.Dir = dbPath;
        table.Prompt = &prompt;
        HoldMaster(Master);
    }

    void HoldMaster(const std::string& master) {
        table.MasterPass.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(master.data()),
                                          master.size());
        table.MasterPass.HasPassword = true;
    }

    void SetCurrent(const std::string& password) {
        current.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password.data()),
                                 password.size());
    }

    std::string CurrentTyped() const { return Text(current.TypedPassword()); }

    // Stores password under key as the batch logic does: the dialog's password, then the store.
    void Store(const std::string& key, const std::string& password) {
        SetCurrent(password);
        table.StorePassword(key);
    }

    // The password a retrieve hands over, or "(none)".
    std::string Retrieve(const std::string& key) {
        SetCurrent("previous");
        return table.RetrievePassword(key) ? CurrentTyped() : std::string("(none)");
    }

    // The entries of the file as they read back, in order.
    std::vector<std::string> EntriesOnDisk() {
        table.ClearEntries();
        EXPECT_EQ(table.ReadDatabase(true), qv::DatabaseOk);
        std::vector<std::string> entries;
        for (std::size_t i = 0; i < table.Entries.Size(); ++i)
            entries.emplace_back(table.Entries[i]);
        table.ClearEntries();
        return entries;
    }

    TempDir dir;
    const std::string dbPath = dir / "xwords.001";
    qv::TQV_Pwd current;
    ScriptedAnswers answers;
    ScriptedMasterPrompt prompt;
    qv::TQV_PwdTable table{current, answers};
};

} // namespace qvtest
