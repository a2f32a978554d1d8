// The stored-password database under mutated and damaged files: a retrieve, then a store, as
// the batch logic runs them, on a database in memory-backed storage with the master password
// held (as the command line holds it).
//
// Input: one byte that picks the master password (FuzzInputs.h), then the database file. A
// finding is a database the program harms: a retrieve or a store that changes a file it could
// not read, a rewrite that loses another entry or does not read back, a retrieve that hands
// over another password than the file held, or anything left in the folder beside the file.
#include "FuzzInputs.h"
#include "FuzzSupport.h"
#include "PwdEntryList.h"
#include "PwdTable.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace qv;
using namespace qv::fuzz;

namespace {

// Answers every box with its first button and keeps the texts shown.
class RecordedAnswers : public UserAnswers {
public:
    std::vector<std::string> texts;

    Button Ask(MessageKind, const std::string& text, unsigned buttons) override {
        texts.push_back(text);
        for (unsigned b = ButtonOk; b <= ButtonAll; b <<= 1)
            if (buttons & b)
                return static_cast<Button>(b);
        return ButtonOk;
    }
};

// The database as the table reads it, and the entry a retrieve or a store of the key finds.
struct Reading {
    std::int32_t code = DatabaseOk;
    std::vector<std::string> entries;
    std::optional<std::size_t> found;
    std::string password; // of the entry found
};

Reading Read(TQV_PwdTable& table) {
    Reading reading;
    table.ClearEntries();
    reading.code = table.ReadDatabase(true);
    for (std::size_t i = 0; i < table.Entries.Size(); ++i)
        reading.entries.emplace_back(table.Entries[i]);
    reading.found = table.Entries.Find(DatabaseKey);
    if (reading.found) {
        const SecureBytes password = table.Entries.PasswordOf(*reading.found);
        reading.password.assign(password.begin(), password.end());
    }
    table.ClearEntries();
    if (reading.code != DatabaseOk && !reading.entries.empty())
        Fail("ReadDatabase failed with " + std::to_string(reading.code) + " but left entries");
    return reading;
}

std::vector<std::string> Sorted(std::vector<std::string> entries) {
    std::sort(entries.begin(), entries.end());
    return entries;
}

// The entries a reading holds without the one found for the key.
std::vector<std::string> WithoutFound(const Reading& reading) {
    std::vector<std::string> rest = reading.entries;
    if (reading.found)
        rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(*reading.found));
    return rest;
}

void SetTyped(TQV_Pwd& holder, std::string_view typed) {
    holder.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(typed.data()), typed.size());
}

class DatabaseRun {
public:
    // twoSteps: the retrieve runs as FetchPassword and then ConsumePassword, as a decryption
    // does around its work.
    DatabaseRun(const ScratchFolder& folder, std::string_view master, bool twoSteps)
        : folder_(folder), path_(folder / DatabaseFileName), twoSteps_(twoSteps) {
        table_.MasterPass.Store = true;
        table_.MasterPass.Dir = path_;
        SetTyped(table_.MasterPass, master);
        table_.MasterPass.HasPassword = true;
    }

    void Run() {
        const Reading before = Read(table_);
        const Reading atStore = Retrieve(before);
        Store(atStore);
    }

private:
    std::vector<std::uint8_t> FileBytes() const {
        auto bytes = ReadFileBytes(path_);
        if (!bytes)
            Fail("the database file is gone: the folder holds " + Quoted(folder_.Names()));
        return *bytes;
    }

    void ExpectOnlyTheDatabase(const char* after) const {
        const std::vector<std::string> names = folder_.Names();
        if (names != std::vector<std::string>{DatabaseFileName})
            Fail(std::string("after ") + after + " the folder holds " + Quoted(names));
    }

    void ExpectMessages(const std::vector<std::string>& expected, const char* after) const {
        if (answers_.texts != expected)
            Fail(std::string("after ") + after + " the messages shown were " +
                 Quoted(answers_.texts) + ", not " + Quoted(expected));
    }

    // A rewritten database: owner-only, readable, and holding exactly the entries expected.
    Reading ExpectRewritten(const std::vector<std::string>& expected, const char* after) {
        struct stat st {};
        Check(stat(path_.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600,
              "a rewritten database is not owner-only");
        const Reading reading = Read(table_);
        if (reading.code != DatabaseOk)
            Fail(std::string("after ") + after + " the database reads back with " +
                 std::to_string(reading.code));
        if (Sorted(reading.entries) != Sorted(expected))
            Fail(std::string("after ") + after + " the database holds " + Quoted(reading.entries) +
                 ", not " + Quoted(expected));
        return reading;
    }

    // Retrieves the key's password and returns the database as the store then finds it.
    Reading Retrieve(const Reading& before) {
        const std::vector<std::uint8_t> bytes = FileBytes();
        SetTyped(current_, "previous-password");
        answers_.texts.clear();
        bool retrieved = false;
        if (twoSteps_) {
            retrieved = table_.FetchPassword(std::string(DatabaseKey));
            ExpectOnlyTheDatabase("a fetch");
            Check(table_.Entries.Empty(), "a fetch left entries in memory");
            Check(FileBytes() == bytes, "a fetch changed the database");
            if (retrieved && !table_.ConsumePassword(std::string(DatabaseKey)))
                Fail("a consume after a fetch failed on a database that was read");
        } else {
            retrieved = table_.RetrievePassword(std::string(DatabaseKey));
        }
        ExpectOnlyTheDatabase("a retrieve");
        Check(table_.Entries.Empty(), "a retrieve left entries in memory");

        const bool expected = before.code == DatabaseOk && before.found && !before.password.empty();
        if (retrieved != expected)
            Fail(std::string("RetrievePassword answered ") + (retrieved ? "true" : "false") +
                 " on a database read with " + std::to_string(before.code));
        if (!retrieved) {
            Check(FileBytes() == bytes, "a retrieve that found nothing changed the database");
            ExpectMessages(before.code == DatabaseOk
                               ? std::vector<std::string>{}
                               : std::vector<std::string>{DatabaseErrorMessage},
                           "a retrieve that found nothing");
            return before;
        }
        const SecureBytes handed = current_.TypedPassword();
        Check(std::string(handed.begin(), handed.end()) == before.password,
              "a retrieve handed over another password than the entry's");
        ExpectMessages({}, "a retrieve");
        return ExpectRewritten(WithoutFound(before), "a retrieve");
    }

    void Store(const Reading& atStore) {
        const std::vector<std::uint8_t> bytes = FileBytes();
        SetTyped(current_, StoredPassword);
        answers_.texts.clear();
        table_.StorePassword(std::string(DatabaseKey));
        ExpectOnlyTheDatabase("a store");
        Check(table_.Entries.Empty(), "a store left entries in memory");

        if (atStore.code != DatabaseOk) {
            // A file that cannot be read may still be the user's database: it stays as it was.
            Check(FileBytes() == bytes, "a store changed a database it could not read");
            ExpectMessages({DatabaseErrorMessage}, "a store on a damaged database");
            return;
        }
        ExpectMessages({}, "a store");
        const std::string entry = std::string(DatabaseKey) + "=" + std::string(StoredPassword);
        std::vector<std::string> expected = WithoutFound(atStore);
        // The list holds no two entries that differ in letter case only.
        if (std::none_of(expected.begin(), expected.end(),
                         [&](const std::string& e) { return CompareIgnoringCase(e, entry) == 0; }))
            expected.push_back(entry);
        ExpectRewritten(expected, "a store");
    }

    const ScratchFolder& folder_;
    const std::string path_;
    const bool twoSteps_;
    TQV_Pwd current_;
    RecordedAnswers answers_;
    TQV_PwdTable table_{current_, answers_};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static const ScratchFolder folder(DatabaseTarget);
    if (!WriteFileBytes(folder / DatabaseFileName, data + 1, size - 1))
        Fail("cannot write the database file");
    // The first byte chooses the master password and, in a bit the choice does not use, the
    // one-step or the two-step retrieve.
    DatabaseRun(folder, MasterPasswords[PasswordIndex(data[0], MasterPasswords.size())],
                (data[0] & 0x40) != 0)
        .Run();
    folder.Clear();
    return 0;
}
