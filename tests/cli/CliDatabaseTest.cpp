// quorvane-cli with the stored-password database: --store, --db and the master password, run as
// a script or a person at a terminal would, against a database that the core reads back.
#include "CliSupport.h"
#include "FileSystem.h"
#include "PwdTable.h"
#include "ScriptedAnswers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace clitest;
using qvtest::PatternBytes;
using qvtest::ReadBytes;
using qvtest::ReadText;
using qvtest::WriteBytes;
using qvtest::WriteText;

namespace {

using Entries = std::vector<std::string>;

constexpr const char* Master = "Opal-Kwartz7";

// A database file as the core sees it under a master password.
class DatabaseFile {
public:
    DatabaseFile(const std::string& path, const std::string& master) {
        table_.MasterPass.Store = true;
        table_.MasterPass.Dir = path;
        table_.MasterPass.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(master.data()),
                                           master.size());
        table_.MasterPass.HasPassword = true;
    }

    // The entries as they read back, in order.
    Entries Read() {
        table_.ClearEntries();
        EXPECT_EQ(table_.ReadDatabase(true), qv::DatabaseOk);
        Entries entries;
        for (std::size_t i = 0; i < table_.Entries.Size(); ++i)
            entries.emplace_back(table_.Entries[i]);
        table_.ClearEntries();
        return entries;
    }

    // Writes a database of these "key=password" entries.
    void Write(const Entries& entries) {
        table_.ClearEntries();
        for (const std::string& entry : entries)
            table_.Entries.Add(qv::SecureBytes(entry.begin(), entry.end()));
        ASSERT_EQ(table_.WriteDatabase(), qv::DatabaseOk);
        table_.ClearEntries();
    }

private:
    qv::TQV_Pwd current_;
    qvtest::ScriptedAnswers answers_;
    qv::TQV_PwdTable table_{current_, answers_};
};

// Files in one folder and a home folder of their own, with the database in the home folder.
class CliStore : public ::testing::Test {
protected:
    // A run with this test's home and registry, the master password in $QV_MASTER and, unless
    // password is "", the password in $QV_PASSWORD. args[0] is the command; the options that
    // name both sources follow it.
    Invocation With(std::vector<std::string> args, const std::string& password = "",
                    const std::string& master = Master) const {
        Invocation run;
        run.args = std::move(args);
        run.env = {{"HOME", home.Path()},
                   {"QUORVANE_REGISTRY", home / "registry.reg"},
                   {"QV_MASTER", master}};
        std::vector<std::string> options = {"--store", "--master-password-env", "QV_MASTER"};
        if (!password.empty()) {
            options.insert(options.end(), {"--password-env", "QV_PASSWORD"});
            run.env["QV_PASSWORD"] = password;
        }
        run.args.insert(run.args.begin() + 1, options.begin(), options.end());
        return run;
    }

    Result Store(std::vector<std::string> args, const std::string& password = "",
                 const std::string& master = Master) const {
        return RunCli(With(std::move(args), password, master));
    }

    // Encrypts without the database.
    void EncryptPlainly(const std::string& path, const std::string& password,
                        std::vector<std::string> extra = {}) const {
        std::vector<std::string> args = {"encrypt"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(path);
        const Result r = RunWith(ByEnvironment(password), args);
        ASSERT_EQ(r.status, 0) << r.err;
    }

    Entries EntriesOnDisk() const { return DatabaseFile(db, Master).Read(); }

    TempDir dir, home;
    const std::string db = home / "xwords.001";
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(CliStore, PasswordsStoredOnEncryptDecryptTheFilesOnceWithoutAPassword) {
    ASSERT_EQ(mkdir((dir / "sub").c_str(), 0700), 0);
    WriteText(dir / "a.txt", "first");
    WriteText(dir / "sub/b.txt", "second");
    Invocation run = With({"encrypt", "a.txt", "sub/../sub/./b.txt"}, "file-pass");
    run.directory = dir.Path();
    Result r = RunCli(run);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ModeOf(db), 0600u);
    // The keys are full paths, however the files were named.
    EXPECT_EQ(EntriesOnDisk(),
              (Entries{(dir / "a.txt") + "=file-pass", (dir / "sub/b.txt") + "=file-pass"}));

    // No password source and no terminal: the stored passwords are all it takes.
    r = Store({"decrypt", "-v", dir / "a.txt.cry", dir / "sub/b.txt.cry"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "decrypted " + (dir / "a.txt.cry") + " -> " + (dir / "a.txt") +
                         " (stored password)\ndecrypted " + (dir / "sub/b.txt.cry") + " -> " +
                         (dir / "sub/b.txt") + " (stored password)\n");
    EXPECT_EQ(ReadText(dir / "a.txt"), "first");
    EXPECT_EQ(ReadText(dir / "sub/b.txt"), "second");
    EXPECT_TRUE(EntriesOnDisk().empty());
    EXPECT_EQ(ReadBytes(db).size(), 22u) << "the last entry leaves an empty database";

    // A stored password serves once.
    EncryptPlainly(dir / "a.txt", "file-pass");
    const auto crypted = ReadBytes(dir / "a.txt.cry");
    r = Store({"decrypt", dir / "a.txt.cry"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "a.txt.cry") +
                         ": no password is stored for it, and there is no terminal to type the "
                         "password at; give it with --password-file, --password-fd or "
                         "--password-env\n");
    EXPECT_EQ(ReadBytes(dir / "a.txt.cry"), crypted);
}

TEST_F(CliStore, FilesWithoutAnEntryTakeThePasswordGiven) {
    WriteText(dir / "a.txt", "stored");
    WriteText(dir / "b.txt", "given");
    WriteText(dir / "c.txt", "also given");
    ASSERT_EQ(Store({"encrypt", dir / "a.txt"}, "stored-pass").status, 0);
    EncryptPlainly(dir / "b.txt", "given-pass");
    EncryptPlainly(dir / "c.txt", "given-pass");

    const Result r = Store(
        {"decrypt", "-v", dir / "b.txt.cry", dir / "a.txt.cry", dir / "c.txt.cry"}, "given-pass");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "decrypted " + (dir / "b.txt.cry") + " -> " + (dir / "b.txt") +
                         "\ndecrypted " + (dir / "a.txt.cry") + " -> " + (dir / "a.txt") +
                         " (stored password)\ndecrypted " + (dir / "c.txt.cry") + " -> " +
                         (dir / "c.txt") + "\n");
    EXPECT_EQ(ReadText(dir / "a.txt"), "stored");
    EXPECT_EQ(ReadText(dir / "b.txt"), "given");
    EXPECT_EQ(ReadText(dir / "c.txt"), "also given");
}

TEST_F(CliStore, AWrongMasterPasswordTouchesNothing) {
    WriteText(dir / "a.txt", "stored");
    WriteText(dir / "b.txt", "plain");
    ASSERT_EQ(Store({"encrypt", dir / "a.txt"}, "stored-pass").status, 0);
    const auto database = ReadBytes(db);
    const auto crypted = ReadBytes(dir / "a.txt.cry");

    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string password;
    };
    const Case cases[] = {
        {"encrypt", {"encrypt", dir / "b.txt"}, "plain-pass"},
        {"decrypt", {"decrypt", dir / "a.txt.cry"}, ""},
        {"decrypt with a password", {"decrypt", dir / "a.txt.cry"}, "stored-pass"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result r = Store(c.args, c.password, "Opal-Kwartz8");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "quorvane-cli: 不正確無效的密碼. Wrong master password for the database " +
                             db + ". (the environment variable QV_MASTER)\n");
        EXPECT_EQ(dir.Names(), (Names{"a.txt.cry", "b.txt"}));
        EXPECT_EQ(ReadBytes(dir / "a.txt.cry"), crypted);
        EXPECT_EQ(ReadText(dir / "b.txt"), "plain");
        EXPECT_EQ(ReadBytes(db), database);
    }
}

TEST_F(CliStore, ADatabaseThatCannotBeUsedTouchesNothing) {
    WriteText(dir / "a.txt", "plain");
    WriteText(dir / "b.txt", "crypted");
    EncryptPlainly(dir / "b.txt", "file-pass");
    const auto crypted = ReadBytes(dir / "b.txt.cry");

    // A good database with one byte of its enciphered entries changed.
    const std::string good = dir / "good.db";
    DatabaseFile(good, Master).Write({"/x/y.txt=secret"});
    auto damaged = ReadBytes(good);
    damaged[20] ^= 0x01;
    std::remove(good.c_str());

    struct Case {
        const char* name;
        std::function<void()> make;
        const char* reason;
    };
    const Case cases[] = {
        {"another kind of file", [&] { WriteText(db, "PT97 and then some text"); },
         "it is not a database of stored passwords: it does not begin with \"PT98\""},
        {"cut short in its header", [&] { WriteText(db, "PT98\x04"); },
         "it is cut short or cannot be read"},
        {"damaged entries", [&] { WriteBytes(db, damaged); }, "its content is damaged"},
        {"a folder", [&] { mkdir(db.c_str(), 0700); }, "it is cut short or cannot be read"},
        {"a link to nothing", [&] { symlink("nowhere", db.c_str()); }, "it cannot be opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.make();
        const auto before = home.Names();
        const auto content = qv::IsRegularFile(db) ? ReadBytes(db) : std::vector<std::uint8_t>{};
        for (const auto& args : {std::vector<std::string>{"encrypt", dir / "a.txt"},
                                 std::vector<std::string>{"decrypt", dir / "b.txt.cry"}}) {
            SCOPED_TRACE(args[0]);
            const Result r = Store(args, "file-pass");
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.err, "quorvane-cli: " + db +
                                 ": Error occured while accessing database of passwords. (" +
                                 c.reason + ")\n");
            EXPECT_EQ(dir.Names(), (Names{"a.txt", "b.txt.cry"}));
            EXPECT_EQ(ReadText(dir / "a.txt"), "plain");
            EXPECT_EQ(ReadBytes(dir / "b.txt.cry"), crypted);
            EXPECT_EQ(home.Names(), before);
            if (qv::IsRegularFile(db)) {
                EXPECT_EQ(ReadBytes(db), content);
            }
        }
        std::remove(db.c_str());
        rmdir(db.c_str());
    }
}

TEST_F(CliStore, AMasterPasswordHasSixToSixteenCharacters) {
    TempDir secrets;
    WriteText(secrets / "master.txt", "sixsix\n");
    struct Case {
        std::string master;
        std::vector<std::string> options;
        std::string onFd;
        const char* refusal; // nullptr: accepted
    };
    const Case cases[] = {
        {"five5",
         {"--master-password-env", "QV_MASTER"},
         "",
         "太少密碼的字元符號輸入. Too few characters in the master password. At least 6 are "
         "needed. (the environment variable QV_MASTER)"},
        {"seventeen-letters",
         {"--master-password-env", "QV_MASTER"},
         "",
         "太多密碼的字元符號輸入. Too many characters in the master password. At most 16 are "
         "allowed here. (the environment variable QV_MASTER)"},
        {"sixsix", {"--master-password-file", secrets / "master.txt"}, "", nullptr},
        {"Sixteen-Letters!", {"--master-password-fd", "6"}, "Sixteen-Letters!\n", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.master);
        const std::string database = home / (c.master + ".db");
        WriteText(dir / "a.txt", "plain");
        Invocation run;
        run.args = {"encrypt", "--store", "--db", database, "--password-env", "QV_PASSWORD"};
        run.args.insert(run.args.end(), c.options.begin(), c.options.end());
        run.args.push_back(dir / "a.txt");
        run.env = {{"QV_PASSWORD", "file-pass"}, {"QV_MASTER", c.master}};
        run.masterOnFd = c.onFd;
        const Result r = RunCli(run);
        if (c.refusal) {
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.err, std::string("quorvane-cli: ") + c.refusal + "\n");
            EXPECT_FALSE(qv::PathExists(database));
            EXPECT_EQ(dir.Names(), Names{"a.txt"});
        } else {
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(DatabaseFile(database, c.master).Read(),
                      Entries{(dir / "a.txt") + "=file-pass"});
            std::remove((dir / "a.txt.cry").c_str());
        }
    }
}

TEST_F(CliStore, AtATerminalANewDatabaseTakesTheMasterPasswordTwice) {
    WriteText(dir / "a.txt", "plain");
    const std::map<std::string, std::string> env = {{"QV_PASSWORD", "file-pass"}};
    {
        Terminal t(
            {"encrypt", "--store", "--db", db, "--password-env", "QV_PASSWORD", dir / "a.txt"},
            env);
        const std::string prompt =
            "Master password (new database " + db + ", 6 to 16 characters): ";
        ASSERT_TRUE(t.WaitFor(prompt)) << t.Seen();
        t.Type("short\n");
        ASSERT_TRUE(t.WaitFor("太少密碼的字元符號輸入. Too few characters in the master password."))
            << t.Seen();
        ASSERT_TRUE(t.WaitFor(prompt)) << t.Seen();
        t.Type(std::string(Master) + "\n");
        ASSERT_TRUE(t.WaitFor("The same master password again: ")) << t.Seen();
        t.Type("Opal-Kwartz8\n");
        ASSERT_TRUE(t.WaitFor("證實失敗了. The two master passwords differ.")) << t.Seen();
        ASSERT_TRUE(t.WaitFor(prompt)) << t.Seen();
        t.Type(std::string(Master) + "\n");
        ASSERT_TRUE(t.WaitFor("The same master password again: ")) << t.Seen();
        t.Type(std::string(Master) + "\n");
        EXPECT_EQ(t.Finish(), 0) << t.Seen();
        EXPECT_FALSE(Contains(t.Seen(), "Opal")) << "the master password was echoed";
    }
    EXPECT_EQ(EntriesOnDisk(), Entries{(dir / "a.txt") + "=file-pass"});
    {
        // An existing database: asked once, and again after a wrong one; the file's password
        // is never asked, as the database has it.
        Terminal t({"decrypt", "--store", "--db", db, dir / "a.txt.cry"});
        const std::string prompt = "Master password (database " + db + ", 6 to 16 characters): ";
        ASSERT_TRUE(t.WaitFor(prompt)) << t.Seen();
        t.Type("Opal-Kwartz8\n");
        ASSERT_TRUE(t.WaitFor("不正確無效的密碼. Wrong master password for the database " + db))
            << t.Seen();
        ASSERT_TRUE(t.WaitFor(prompt)) << t.Seen();
        t.Type(std::string(Master) + "\n");
        EXPECT_EQ(t.Finish(), 0) << t.Seen();
        EXPECT_FALSE(Contains(t.Seen(), "The same master password")) << t.Seen();
        EXPECT_FALSE(Contains(t.Seen(), "Password (")) << t.Seen();
    }
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");
}

TEST_F(CliStore, WithoutDbTheDatabaseIsTheOneTheSettingsName) {
    const std::string registryStart = "Windows Registry Editor Version 5.00\n\n"
                                      "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\MasterPass]\n"
                                      "\"Store\"=dword:00000000\n";
    struct Case {
        const char* name;
        std::string registry; // "": no registry file
        std::vector<std::string> options;
        std::string expected; // in the case's home folder
    };
    const Case cases[] = {
        {"Dir set", registryStart + "\"Dir\"=\"HOME/custom.db\"\n", {}, "custom.db"},
        {"Dir empty", registryStart + "\"Dir\"=\"\"\n", {}, "xwords.001"},
        {"Dir missing", registryStart, {}, "xwords.001"},
        {"Dir of another type", registryStart + "\"Dir\"=dword:00000001\n", {}, "xwords.001"},
        {"no registry file", "", {}, "xwords.001"},
        {"not a registry file", "Dir=HOME/custom.db\n", {}, "xwords.001"},
        {"--db before Dir",
         registryStart + "\"Dir\"=\"HOME/custom.db\"\n",
         {"--db", "HOME/given.db"},
         "given.db"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir caseHome;
        auto homed = [&](std::string text) {
            if (const auto at = text.find("HOME"); at != std::string::npos)
                text.replace(at, 4, caseHome.Path());
            return text;
        };
        const std::string registry = caseHome / "registry.reg";
        if (!c.registry.empty())
            WriteText(registry, homed(c.registry));
        WriteText(dir / "a.txt", "plain");
        Invocation run = With({"encrypt", dir / "a.txt"}, "file-pass");
        for (const std::string& option : c.options)
            run.args.insert(run.args.end() - 1, homed(option));
        run.env["HOME"] = caseHome.Path();
        run.env["QUORVANE_REGISTRY"] = registry;
        const Result r = RunCli(run);
        ASSERT_EQ(r.status, 0) << r.err;
        Names expected = {c.expected};
        if (!c.registry.empty())
            expected.push_back("registry.reg");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(caseHome.Names(), expected);
        EXPECT_EQ(DatabaseFile(caseHome / c.expected, Master).Read(),
                  Entries{(dir / "a.txt") + "=file-pass"});
        if (!c.registry.empty()) {
            EXPECT_EQ(ReadText(registry), homed(c.registry)) << "the registry is never written";
        }
        std::remove((dir / "a.txt.cry").c_str());
    }
}

TEST_F(CliStore, AnEncryptionThatFailsLeavesTheEntryOfTheOlderCryptedFile) {
    WriteText(dir / "a.txt", "older");
    ASSERT_EQ(Store({"encrypt", dir / "a.txt"}, "older-pass").status, 0);
    WriteText(dir / "a.txt", "newer");

    const Result r = Store({"encrypt", dir / "a.txt"}, "newer-pass");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "already exists; --force replaces it")) << r.err;
    EXPECT_EQ(EntriesOnDisk(), Entries{(dir / "a.txt") + "=older-pass"});
    ASSERT_EQ(Store({"decrypt", "--force", dir / "a.txt.cry"}).status, 0);
    EXPECT_EQ(ReadText(dir / "a.txt"), "older");
}

TEST_F(CliStore, AFileWhosePasswordCannotBeStoredIsNotEncrypted) {
    // A name with a line break cannot be a line of the database.
    const std::string odd = dir / "line\nbreak.txt";
    WriteText(odd, "plain");
    Result r = Store({"encrypt", odd}, "file-pass");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "The password cannot be stored")) << r.err;
    EXPECT_TRUE(Contains(r.err, "not encrypted, as its password could not be stored; nothing was "
                                "changed"))
        << r.err;
    EXPECT_EQ(dir.Names(), Names{"line\nbreak.txt"});
    EXPECT_EQ(ReadText(odd), "plain");
    std::remove(odd.c_str());

    // A full disk when the database is rewritten: a database larger than the files the program
    // may write, and a file small enough to encrypt.
    Entries many;
    for (int i = 0; i < 60; ++i)
        many.push_back("/some/rather/long/folder/name/file-" + std::to_string(i) + ".txt=pass" +
                       std::to_string(i));
    DatabaseFile(db, Master).Write(many);
    ASSERT_GT(ReadBytes(db).size(), 2048u);
    const auto database = ReadBytes(db);
    WriteText(dir / "a.txt", "plain");
    Invocation run = With({"encrypt", dir / "a.txt"}, "file-pass");
    run.fileSizeLimit = 2048;
    r = RunCli(run);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "a.txt") +
                         ": Error occured while accessing database of passwords. (" + db +
                         ")\nquorvane-cli: " + (dir / "a.txt") +
                         ": not encrypted, as its password could not be stored; nothing was "
                         "changed\n");
    EXPECT_EQ(dir.Names(), Names{"a.txt"});
    EXPECT_EQ(ReadBytes(db), database);

    // With --force an older crypted file is replaced first, so the new one stays.
    WriteText(dir / "a.txt.cry", "older crypted file");
    run.args.insert(run.args.end() - 1, "--force");
    r = RunCli(run);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "encrypted to " + (dir / "a.txt.cry") +
                                    ", but its password could not be stored; the plain file was "
                                    "kept"))
        << r.err;
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");
    EXPECT_EQ(ReadBytes(db), database);
    ASSERT_EQ(RunWith(ByEnvironment("file-pass"), {"decrypt", "--force", dir / "a.txt.cry"}).status,
              0);
}

// The program starts with SIGXFSZ as a shell leaves it, which kills a process writing beyond
// the file-size limit: the program must turn that into a failed write of its own.
TEST_F(CliStore, AStoredPasswordStaysWhenItsFileFailsForAnotherReason) {
    const auto big = PatternBytes(200000, 3);
    WriteBytes(dir / "big.bin", big);
    ASSERT_EQ(Store({"encrypt", dir / "big.bin"}, "file-pass").status, 0);
    const auto crypted = ReadBytes(dir / "big.bin.cry");

    // Room for the database, not for the decrypted file.
    Invocation run = With({"decrypt", dir / "big.bin.cry"});
    run.fileSizeLimit = 64 * 1024;
    Result r = RunCli(run);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "big.bin.cry") +
                         ": writing the output failed (is the disk full?); nothing was changed; "
                         "its stored password stays in the database\n");
    EXPECT_EQ(dir.Names(), Names{"big.bin.cry"});
    EXPECT_EQ(ReadBytes(dir / "big.bin.cry"), crypted);
    EXPECT_EQ(EntriesOnDisk(), Entries{(dir / "big.bin") + "=file-pass"});

    r = Store({"decrypt", dir / "big.bin.cry"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir / "big.bin"), big);
}

TEST_F(CliStore, AStoredPasswordThatDoesNotOpenItsFileIsUsedUp) {
    WriteText(dir / "a.txt", "plain");
    ASSERT_EQ(Store({"encrypt", "--keep", dir / "a.txt"}, "stored-pass").status, 0);
    EncryptPlainly(dir / "a.txt", "other-pass", {"--force"});
    const auto crypted = ReadBytes(dir / "a.txt.cry");

    const Result r = Store({"decrypt", dir / "a.txt.cry"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "a.txt.cry") +
                         ": its stored password does not open it (wrong password, or the file is "
                         "damaged); that password is no longer in the database\n");
    EXPECT_EQ(dir.Names(), Names{"a.txt.cry"});
    EXPECT_EQ(ReadBytes(dir / "a.txt.cry"), crypted);
    EXPECT_TRUE(EntriesOnDisk().empty());
}

TEST_F(CliStore, APathNamesItsFoldersAsTheShellDoes) {
    ASSERT_EQ(mkdir((dir / "real").c_str(), 0700), 0);
    ASSERT_EQ(symlink("real", (dir / "link").c_str()), 0);
    WriteText(dir / "real/notes.txt", "plain");
    Invocation run = With({"encrypt", "notes.txt"}, "file-pass");
    run.directory = dir / "link";
    ASSERT_EQ(RunCli(run).status, 0);
    EXPECT_EQ(EntriesOnDisk(), Entries{(dir / "link/notes.txt") + "=file-pass"});

    // The same file under the folder's other name is another key.
    Result r = Store({"decrypt", dir / "real/notes.txt.cry"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.err, "no password is stored for it")) << r.err;

    run = With({"decrypt", "../link/./notes.txt.cry"});
    run.directory = dir / "real";
    r = RunCli(run);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadText(dir / "real/notes.txt"), "plain");
}

TEST_F(CliStore, DecryptingWithoutADatabaseAsksForNoMasterPassword) {
    WriteText(dir / "a.txt", "plain");
    EncryptPlainly(dir / "a.txt", "file-pass");
    Invocation run;
    run.args = {"decrypt", "--store", "--password-env", "QV_PASSWORD", dir / "a.txt.cry"};
    run.env = {{"HOME", home.Path()}, {"QV_PASSWORD", "file-pass"}};
    const Result r = RunCli(run);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "quorvane-cli: " + db +
                         ": there is no database of stored passwords; the files are decrypted "
                         "with the password given\n");
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");
    EXPECT_TRUE(home.Names().empty());
}

TEST(CliStoreUsage, MistakesInTheDatabaseOptionsTouchNothing) {
    TempDir dir;
    WriteText(dir / "a.txt", "plain");
    const std::string file = dir / "a.txt";
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"info", "--store", "x.cry"}, "info takes no password"},
        {{"encrypt", "--db", dir / "x.db", file}, "belong with --store"},
        {{"decrypt", "--master-password-env", "M", "x.cry"}, "belong with --store"},
        {{"encrypt", "--store", "--db=", file}, "--db needs the path of a file"},
        {{"encrypt", "--store", "--password-fd", "5", "--master-password-fd", "5", file},
         "cannot come from the same file descriptor"},
        {{"encrypt", "--store", "--password-env", "P", "--master-password-env", "P", file},
         "cannot come from the same environment variable"},
        {{"encrypt", "--store", "--master-password-env", "M", "--master-password-file", "f", file},
         "give the master password one way only"},
        {{"encrypt", "--store", "--master-password", "secret", file},
         "never taken from the command line"},
        {{"encrypt", "--store", "--db", dir / "missing/x.db", "--master-password-env", "M", file},
         "there is no database, and no folder of that name to create it in"},
        {{"encrypt", "--store", "--password-env", "P", file},
         "there is no terminal to type the master password at; give it with "
         "--master-password-file, --master-password-fd or --master-password-env"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Invocation run;
        run.args = c.args;
        run.env = {{"HOME", dir.Path()}, {"M", "master-pass"}, {"P", "file-pass"}};
        const Result r = RunCli(run);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(dir.Names(), Names{"a.txt"});
    }
    const Result help = RunArgs({"--help"});
    for (const char* word : {"--store", "--db FILE", "--master-password-file",
                             "--master-password-fd", "--master-password-env", "serves once",
                             "6 to 16 bytes", "typed twice", "the password stays"})
        EXPECT_TRUE(Contains(help.out, word)) << word;
}

TEST_F(CliStore, AtATerminalThePasswordIsAskedOnceForTheFilesWithoutAnEntry) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        WriteText(dir / name, name);
    ASSERT_EQ(Store({"encrypt", dir / "a.txt"}, "stored-pass").status, 0);
    EncryptPlainly(dir / "b.txt", "typed-pass");
    EncryptPlainly(dir / "c.txt", "typed-pass");

    Terminal t({"decrypt", "--store", "--db", db, "--master-password-env", "QV_MASTER",
                dir / "a.txt.cry", dir / "b.txt.cry", dir / "c.txt.cry"},
               {{"QV_MASTER", Master}});
    ASSERT_TRUE(t.WaitFor("Password (6 to 24 characters): ")) << t.Seen();
    t.Type("typed-pass\n");
    EXPECT_EQ(t.Finish(), 0) << t.Seen();
    const std::string& seen = t.Seen();
    EXPECT_EQ(seen.find("Password ("), seen.rfind("Password (")) << "asked once: " << seen;
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        EXPECT_EQ(ReadText(dir / name), name);
}
