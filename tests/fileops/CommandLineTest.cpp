// The desktop program's command line over real files, with the password dialogs and the
// applications played by scripts and real processes.
#include "CommandLine.h"
#include "OpenFilesFixture.h"

#include <map>

using namespace qv;
using namespace qvtest;

// The table of cases leaves the fields after the last one it needs at their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

class CommandLineTest : public OpenFilesTest {
protected:
    void SetUp() override {
        OpenFilesTest::SetUp();
        settings.Method = MethodDes;
        // The database is off until a switch turns it on; the master password is held.
        table.MasterPass.Store = false;
    }

    bool Run(const Names& arguments) {
        return commandLine.ProcessParameters(CommandArguments(arguments, work));
    }

    TQV_CommandLine commandLine{
        TQV_CommandLine::Parts{ops, open, prompts, table, pwd, expiry, state, settings, workList},
        answers};
};

} // namespace

TEST_F(CommandLineTest, ArgumentsInTheirOrder) {
    struct Case {
        const char* name;
        Names arguments;
        Names plain;   // plain files before
        Names crypted; // crypted files before (name.cry with the password Typed)
        Names stored;  // plain files whose password Typed is in the database
        Names after;   // the folder afterwards, without the database
        std::size_t encryptDialogs = 0;
        std::size_t decryptDialogs = 0;
        Names opened;                                    // the plain files handed to applications
        std::map<std::string, std::string> methods = {}; // crypted file -> its method
        Names errors = {};
        bool onePassword = false;
        bool showCry = true;
        std::string password = Typed; // the crypted files afterwards open with it
    };
    const Case cases[] = {
        {"switches in any case; the password keeps its case",
         {"/IdEa", "/PaSS:Secret-12", "a.txt"},
         {"a.txt"},
         {},
         {},
         {"a.txt.cry"},
         0,
         0,
         {},
         {{"a.txt.cry", "IDEA"}},
         {},
         true,
         true,
         "Secret-12"},
        {"/decrypt before a plain file encrypts it",
         {"/decrypt", "a.txt"},
         {"a.txt"},
         {},
         {},
         {"a.txt.cry"},
         1,
         0},
        {"/encrypt before a crypted file decrypts it and opens nothing",
         {"/open", "/encrypt", "b.txt.cry"},
         {},
         {"b.txt"},
         {},
         {"b.txt"},
         0,
         1},
        {"/open and two crypted files opens both",
         {"/open", "b.txt.cry", "c.txt.cry"},
         {},
         {"b.txt", "c.txt"},
         {},
         {"b.txt", "c.txt"},
         0,
         2,
         {"b.txt", "c.txt"}},
        {"/open, a file, /decrypt, a file opens the first only",
         {"/OPEN", "b.txt.cry", "/decrypt", "c.txt.cry"},
         {},
         {"b.txt", "c.txt"},
         {},
         {"b.txt", "c.txt"},
         0,
         2,
         {"b.txt"}},
        {"a method switch between two files changes the second only",
         {"a.txt", "/3xdes", "d.txt"},
         {"a.txt", "d.txt"},
         {},
         {},
         {"a.txt.cry", "d.txt.cry"},
         2,
         0,
         {},
         {{"a.txt.cry", "DES"}, {"d.txt.cry", "3xDES"}}},
        {"a /pass: shorter than 6 characters still asks",
         {"/pass:abc", "a.txt"},
         {"a.txt"},
         {},
         {},
         {"a.txt.cry"},
         1,
         0,
         {},
         {},
         {},
         true},
        {"/pass: with OnePassword off still asks",
         {"/pass:Secret-12", "a.txt"},
         {"a.txt"},
         {},
         {},
         {"a.txt.cry"},
         1,
         0},
        {"/usekeyfile before a crypted file takes the stored password (ShowCry on)",
         {"/usekeyfile", "b.txt.cry"},
         {},
         {"b.txt"},
         {"b.txt"},
         {"b.txt"},
         0,
         0},
        {"/usekeyfile before a crypted file takes the stored password (ShowCry off)",
         {"/usekeyfile", "b.txt.cry"},
         {},
         {"b.txt"},
         {"b.txt"},
         {"b.txt"},
         0,
         0,
         {},
         {},
         {},
         false,
         false},
        {"/usekeyfile and a crypted file without a stored password asks",
         {"/usekeyfile", "b.txt.cry"},
         {},
         {"b.txt"},
         {},
         {"b.txt"},
         0,
         1},
        {"/masterpass: turns the database on for the run",
         {"/masterpass:Opal-Kwartz7", "b.txt.cry"},
         {},
         {"b.txt"},
         {"b.txt"},
         {"b.txt"},
         0,
         0},
        {"a stored password serves its own file only",
         {"/usekeyfile", "b.txt.cry", "a.txt"},
         {"a.txt"},
         {"b.txt"},
         {"b.txt"},
         {"a.txt.cry", "b.txt"},
         1,
         0,
         {},
         {},
         {},
         true},
        {"an unknown switch is a file name",
         {"/frobnicate"},
         {},
         {},
         {},
         {},
         1,
         0,
         {},
         {},
         {"File /frobnicate not found."}},
        {"a name with wildcards is the first file it matches",
         {"*.txt"},
         {"a.txt", "b.txt"},
         {},
         {},
         {"a.txt.cry", "b.txt"},
         1,
         0},
        {"names are taken from the folder the program started in",
         {"sub/../a.txt"},
         {"a.txt"},
         {},
         {},
         {"a.txt.cry"},
         1,
         0},
        {"a folder that cannot be entered ends the processing",
         {"/des", "missing/a.txt", "a.txt"},
         {"a.txt"},
         {},
         {},
         {"a.txt"},
         0,
         0,
         {},
         {},
         {"The folder " + Path("missing") +
          " cannot be entered. The argument missing/a.txt and the ones after it are not "
          "processed."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : dir.Names())
            ASSERT_EQ(system(("rm -rf '" + Path(name) + "'").c_str()), 0);
        for (const std::string& name : c.plain)
            WriteText(Path(name), "content of " + name);
        for (const std::string& name : c.crypted)
            WriteCrypted(name, Typed);
        for (const std::string& name : c.stored)
            StorePassword(name, Typed);
        settings.ShowCry = c.showCry;
        settings.Method = MethodDes;
        pwd.OnePassword = c.onePassword;
        DropExpiredPasswords(pwd, table.MasterPass);
        pwd.Password.clear();
        pwd.PasswordLength = 0;
        pwd.HasPassword = false;
        table.MasterPass.Store = false;
        state.SavePassword = false;
        encryptDialog.asked.clear();
        decryptDialog.asked.clear();
        answers.shown.clear();
        launcher.launched.clear();

        EXPECT_TRUE(Run(c.arguments));

        Names after = dir.Names();
        after.erase(std::remove(after.begin(), after.end(), "xwords.001"), after.end());
        EXPECT_EQ(after, c.after);
        EXPECT_EQ(encryptDialog.asked.size(), c.encryptDialogs);
        EXPECT_EQ(decryptDialog.asked.size(), c.decryptDialogs);
        Names opened;
        for (const std::string& name : c.opened)
            opened.push_back(Path(name));
        EXPECT_EQ(launcher.Paths(), opened);
        EXPECT_EQ(answers.Texts(), c.errors);
        for (const auto& [file, method] : c.methods)
            EXPECT_EQ(FileMethodName(Path(file)), method) << file;
        for (const std::string& name : after) {
            if (IsCryptedFileName(name)) {
                EXPECT_EQ(DecryptedWith(Path(name), c.password),
                          "content of " + name.substr(0, name.size() - 4));
            }
        }
        // The method and the use of the database are what they were before.
        EXPECT_EQ(settings.Method, MethodDes);
        EXPECT_FALSE(table.MasterPass.Store);
        EXPECT_FALSE(state.Working());
        for (ProcessLauncher::Launched& launched : launcher.launched)
            EndApplication(launched.process);
        open.NotifyOpenFiles();
        EXPECT_EQ(open.Count(), 0);
    }
}

TEST_F(CommandLineTest, UseKeyFileFilesThePasswordOnceTheFileIsEncrypted) {
    WriteText(Path("a.txt"), "content of a.txt");
    // The store check box, enabled once the database is in use, is ticked.
    encryptDialog.next = {{PromptAnswer::Go, Typed, false, true},
                          {PromptAnswer::Go, Typed, false, true}};
    EXPECT_TRUE(Run({"/usekeyfile", "a.txt", "gone.txt"}));
    EXPECT_TRUE(encryptDialog.asked.front().SaveBoxEnabled);
    EXPECT_EQ(dir.Names(), (Names{"a.txt.cry", "xwords.001"}));
    EXPECT_TRUE(state.SavePassword);
    table.MasterPass.Store = true;
    EXPECT_EQ(StoredFor("a.txt"), Typed);
    // The file that was not there took no entry.
    EXPECT_EQ(StoredFor("gone.txt"), "(none)");
}

TEST_F(CommandLineTest, NoArgumentsDoNothing) {
    EXPECT_FALSE(Run({}));
    EXPECT_TRUE(encryptDialog.asked.empty());
    EXPECT_TRUE(answers.shown.empty());
}

TEST_F(CommandLineTest, PasswordTextsAreWipedFromTheArgumentMemory) {
    // argv as the system lays it out: the texts one after the other.
    char memory[] = "quorvane\0/PASS:Secret-12\0a.txt\0/masterpass:Opal-Kwartz7\0";
    char* argv[] = {memory, memory + 9, memory + 25, memory + 31};
    const CommandArguments taken = TakeArguments(4, argv);
    EXPECT_EQ(taken.Items(), (Names{"/PASS:Secret-12", "a.txt", "/masterpass:Opal-Kwartz7"}));
    const std::string left(memory, sizeof memory);
    EXPECT_EQ(left.find("Secret-12"), std::string::npos);
    EXPECT_EQ(left.find("Opal-Kwartz7"), std::string::npos);
    EXPECT_EQ(std::string(argv[1]), "/PASS:");
    EXPECT_EQ(std::string(argv[2]), "a.txt");

    // A library that takes its own options out of argv leaves the program the rest.
    CommandArguments kept = TakeArguments(4, argv);
    char* shortened[] = {argv[0], argv[2]};
    kept.KeepThoseIn(2, shortened);
    EXPECT_EQ(kept.Items(), Names{"a.txt"});
}

TEST_F(CommandLineTest, WithTheTableFullAFileToOpenStaysEncrypted) {
    WriteCrypted("b.txt", Typed);
    WriteCrypted("c.txt", Typed);
    for (int i = 0; i < MaxOpenFiles; ++i) {
        const pid_t process = StartProgram({"sleep", "60"});
        launcher.launched.push_back({"open", Path("open" + std::to_string(i)), work, process});
        ASSERT_TRUE(open.CreateFileObject(Path("open" + std::to_string(i)), process, {}, 0, false));
    }
    EXPECT_TRUE(Run({"/open", "b.txt.cry", "/decrypt", "c.txt.cry"}));
    EXPECT_EQ(dir.Names(), (Names{"b.txt.cry", "c.txt"}));
    EXPECT_EQ(answers.Texts(),
              Names{std::string("b.txt.cry was not decrypted: ") + TableFullMessage});
    EXPECT_EQ(launcher.launched.size(), static_cast<std::size_t>(MaxOpenFiles));
}
