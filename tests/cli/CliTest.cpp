// quorvane-cli as a script sees it: the built program run in a temporary folder.
#include "CliSupport.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace clitest;
using qvtest::PatternBytes;
using qvtest::ReadBytes;
using qvtest::ReadText;
using qvtest::TempDir;
using qvtest::WriteBytes;
using qvtest::WriteText;

TEST(Cli, RoundTripWithEachPasswordSourceAndMethod) {
    struct Case {
        const char* method;
        std::string password;
    };
    for (const Case& c : {Case{"des", "secret12"}, Case{"idea", "a longer secret"},
                          Case{"3xdes", "twenty-four characters!!"}}) {
        TempDir dir, secrets;
        const std::vector<Source> sources = {ByEnvironment(c.password),
                                             ByFile(secrets, c.password + "\n"),
                                             ByDescriptor(c.password + "\r\n")};
        for (const Source& source : sources) {
            SCOPED_TRACE(std::string(c.method) + " by " + source.name);
            const auto big = PatternBytes(300000, 1);
            WriteBytes(dir / "big.bin", big);
            WriteText(dir / "note.txt", "a short note\n");
            chmod((dir / "note.txt").c_str(), 0640);

            Result r = RunWith(
                source, {"encrypt", "--method", c.method, dir / "big.bin", dir / "note.txt"});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, "") << "no progress bar when standard error is no terminal";
            EXPECT_EQ(dir.Names(), (Names{"big.bin.cry", "note.txt.cry"}));
            EXPECT_EQ(ModeOf(dir / "note.txt.cry"), 0640u);

            // Another source with the same password: the newline is not part of it anywhere.
            const Source other = source.name == std::string("environment")
                                     ? ByDescriptor(c.password + "\n")
                                     : ByEnvironment(c.password);
            r = RunWith(other, {"decrypt", dir / "big.bin.cry", dir / "note.txt.cry"});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(dir.Names(), (Names{"big.bin", "note.txt"}));
            EXPECT_EQ(ReadBytes(dir / "big.bin"), big);
            EXPECT_EQ(ReadText(dir / "note.txt"), "a short note\n");
            EXPECT_EQ(ModeOf(dir / "note.txt"), 0640u);
            std::remove((dir / "big.bin").c_str());
            std::remove((dir / "note.txt").c_str());
        }
    }
}

TEST(Cli, KeepLeavesTheSourceAndVerboseNamesTheOutput) {
    TempDir dir;
    WriteText(dir / "a.txt", "plain");
    const Source pw = ByEnvironment("secret");
    Result r = RunWith(pw, {"encrypt", "--keep", "-v", dir / "a.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "encrypted " + (dir / "a.txt") + " -> " + (dir / "a.txt.cry") + "\n");
    EXPECT_EQ(dir.Names(), (Names{"a.txt", "a.txt.cry"}));

    std::remove((dir / "a.txt").c_str());
    ASSERT_EQ(rename((dir / "a.txt.cry").c_str(), (dir / "renamed.cry").c_str()), 0);
    r = RunWith(pw, {"decrypt", "-kv", dir / "renamed.cry"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The name stored in the crypted file comes back.
    EXPECT_EQ(r.out, "decrypted " + (dir / "renamed.cry") + " -> " + (dir / "a.txt") + "\n");
    EXPECT_EQ(dir.Names(), (Names{"a.txt", "renamed.cry"}));
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");
}

TEST(Cli, WrongPasswordLeavesEverythingAsItWas) {
    TempDir dir;
    WriteText(dir / "a.txt", "plain");
    ASSERT_EQ(RunWith(ByEnvironment("secret"), {"encrypt", dir / "a.txt"}).status, 0);
    const auto crypted = ReadBytes(dir / "a.txt.cry");

    const Result r = RunWith(ByEnvironment("Secret"), {"decrypt", dir / "a.txt.cry"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "a.txt.cry") +
                         ": wrong password, or the file is damaged\n");
    EXPECT_EQ(dir.Names(), Names{"a.txt.cry"});
    EXPECT_EQ(ReadBytes(dir / "a.txt.cry"), crypted);
}

// A file-size limit (ulimit -f) fails the file in hand like a full disk: the program is not
// killed by SIGXFSZ, says why, and leaves the folder as it was, with no partial output.
TEST(Cli, AFileSizeLimitFailsLikeAFullDisk) {
    TempDir dir;
    const auto plain = PatternBytes(1 << 20, 4);
    WriteBytes(dir / "big.bin", plain);
    const Source pw = ByEnvironment("secret");
    for (const char* command : {"encrypt", "decrypt"}) {
        SCOPED_TRACE(command);
        const bool encrypting = std::string(command) == "encrypt";
        const std::string source = dir / (encrypting ? "big.bin" : "big.bin.cry");
        if (!encrypting) {
            ASSERT_EQ(RunWith(pw, {"encrypt", dir / "big.bin"}).status, 0);
        }
        const auto before = ReadBytes(source);
        Invocation run;
        run.args = {command, "--password-env", "QV_TEST_PASSWORD", source};
        run.env = pw.env;
        run.fileSizeLimit = 500000;
        const Result r = RunCli(run);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.err, "quorvane-cli: " + source +
                             ": writing the output failed (is the disk full?); nothing was "
                             "changed\n");
        EXPECT_EQ(dir.Names(), Names{encrypting ? "big.bin" : "big.bin.cry"});
        EXPECT_EQ(ReadBytes(source), before);
    }
    ASSERT_EQ(RunWith(pw, {"decrypt", dir / "big.bin.cry"}).status, 0);
    EXPECT_EQ(ReadBytes(dir / "big.bin"), plain);
}

// Whatever bytes a folder lets a name hold, the file encrypts and decrypts back under it.
TEST(Cli, NamesWithControlBytesAndBackslashesGoBothWays) {
    TempDir dir;
    const Source pw = ByEnvironment("secret");
    for (const std::string name : {"new\nline", "back\\slash", "tab\tand\x01"}) {
        SCOPED_TRACE(name);
        WriteText(dir / name, "content of " + name);
        Result r = RunWith(pw, {"encrypt", dir / name});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(dir.Names(), Names{name + ".cry"});
        r = RunWith(pw, {"decrypt", dir / (name + ".cry")});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(dir.Names(), Names{name});
        EXPECT_EQ(ReadText(dir / name), "content of " + name);
        ASSERT_EQ(unlink((dir / name).c_str()), 0);
    }
}

// A file named like the wipe's own temporary names blocks the wipe: the plain file stays and
// the message names the file in the way and what it may be.
TEST(Cli, AFileInTheWayOfTheWipeIsNamed) {
    TempDir dir;
    WriteText(dir / "~~~~~~~~.~~~", "left by an interrupted wipe");
    WriteText(dir / "a.txt", "plain");
    const Result r = RunWith(ByEnvironment("secret"), {"encrypt", dir / "a.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "a.txt") + ": encrypted to " + (dir / "a.txt.cry") +
                         ", but the plain file could not be wiped; it is still there: the file " +
                         (dir / "~~~~~~~~.~~~") +
                         " is in the way of the wipe; it may be the plain file of a wipe that was "
                         "interrupted: look at it, then move or delete it\n");
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");
    EXPECT_EQ(ReadText(dir / "~~~~~~~~.~~~"), "left by an interrupted wipe");
    EXPECT_EQ(dir.Names(), (Names{"a.txt", "a.txt.cry", "~~~~~~~~.~~~"}));
}

TEST(Cli, OneFailingFileDoesNotStopTheOthers) {
    TempDir dir;
    WriteText(dir / "a.txt", "first");
    WriteText(dir / "c.txt", "third");
    ASSERT_EQ(symlink("c.txt", (dir / "link.txt").c_str()), 0);
    const Source pw = ByEnvironment("secret");
    Result r = RunWith(
        pw, {"encrypt", dir / "a.txt", dir / "missing.txt", dir / "link.txt", dir / "c.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "missing.txt") + ": no such file\nquorvane-cli: " +
                         (dir / "link.txt") + ": a symbolic link; give the file it points to\n");
    ASSERT_EQ(unlink((dir / "link.txt").c_str()), 0);
    EXPECT_EQ(dir.Names(), (Names{"a.txt.cry", "c.txt.cry"}));

    // A damaged crypted file among good ones.
    auto damaged = ReadBytes(dir / "a.txt.cry");
    damaged.resize(20);
    WriteBytes(dir / "b.txt.cry", damaged);
    r = RunWith(pw, {"decrypt", dir / "a.txt.cry", dir / "b.txt.cry", dir / "c.txt.cry",
                     dir / "plain.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "b.txt.cry") +
                         ": the crypted file is cut short or cannot be read\n"
                         "quorvane-cli: " +
                         (dir / "plain.txt") + ": not a crypted file name: it must end in .cry\n");
    EXPECT_EQ(dir.Names(), (Names{"a.txt", "b.txt.cry", "c.txt"}));
    EXPECT_EQ(ReadText(dir / "a.txt"), "first");
    EXPECT_EQ(ReadText(dir / "c.txt"), "third");
}

TEST(Cli, AnExistingOutputIsReplacedOnlyWithForce) {
    TempDir dir;
    WriteText(dir / "a.txt", "plain");
    WriteText(dir / "a.txt.cry", "an older crypted file");
    const Source pw = ByEnvironment("secret");
    Result r = RunWith(pw, {"encrypt", dir / "a.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "a.txt") + ": " + (dir / "a.txt.cry") +
                         " already exists; --force replaces it\n");
    EXPECT_EQ(ReadText(dir / "a.txt.cry"), "an older crypted file");
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");

    ASSERT_EQ(RunWith(pw, {"encrypt", "--force", "--keep", dir / "a.txt"}).status, 0);
    r = RunWith(pw, {"decrypt", dir / "a.txt.cry"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");
    ASSERT_EQ(RunWith(pw, {"decrypt", "-f", dir / "a.txt.cry"}).status, 0);
    EXPECT_EQ(dir.Names(), Names{"a.txt"});
}

TEST(Cli, PasswordsOfTheWrongLengthTouchNothing) {
    TempDir dir;
    WriteText(dir / "a.txt", "plain");
    struct Case {
        std::vector<std::string> args;
        std::string password;
        const char* message;
    };
    const Case cases[] = {
        {{"encrypt", "-m", "des", dir / "a.txt"}, "nine char", "Too many characters in password."},
        {{"encrypt", "-m", "idea", dir / "a.txt"}, std::string(17, 'x'), "Too many"},
        {{"encrypt", dir / "a.txt"}, std::string(25, 'x'), "Too many"},
        {{"encrypt", dir / "a.txt"}, "five\n", "Too few characters in password."},
        {{"decrypt", dir / "a.txt.cry"}, std::string(25, 'x'), "Too many"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        const Result r = RunWith(ByEnvironment(c.password), c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(dir.Names(), Names{"a.txt"});
    }
    // 24 characters open any crypted file, whatever its method takes.
    const std::string longest(24, 'p');
    ASSERT_EQ(RunWith(ByEnvironment(longest.substr(0, 8)), {"encrypt", "-m", "des", dir / "a.txt"})
                  .status,
              0);
    EXPECT_EQ(RunWith(ByEnvironment(longest), {"decrypt", dir / "a.txt.cry"}).status, 0);
    EXPECT_EQ(ReadText(dir / "a.txt"), "plain");
}

TEST(Cli, InfoNeedsNoPassword) {
    TempDir dir;
    WriteText(dir / "report.doc", std::string(1000, 'r'));
    ASSERT_EQ(
        RunWith(ByEnvironment("secret"), {"encrypt", "-m", "idea", dir / "report.doc"}).status, 0);
    WriteText(dir / "broken.cry", "QV9");
    const Result r = RunArgs({"info", dir / "report.doc.cry", dir / "broken.cry"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, (dir / "report.doc.cry") +
                         "\n  method:      IDEA (QV98)\n  plain size:  1000 bytes\n"
                         "  stored name: report.doc\n");
    EXPECT_EQ(r.err, "quorvane-cli: " + (dir / "broken.cry") +
                         ": not a crypted file: it ends inside the "
                         "header\n");
}

TEST(Cli, UsageErrorsAndHelp) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{}, "a command is needed"},
        {{"shred", "x"}, "unknown command"},
        {{"encrypt", "--password", "secret", "x"}, "never taken from the command line"},
        {{"encrypt", "-m", "rot13", "x"}, "unknown method"},
        {{"decrypt", "-m", "des", "x.cry"}, "--method applies to encrypt only"},
        {{"encrypt"}, "no file given"},
        {{"info", "--keep", "x.cry"}, "info takes no password"},
        {{"encrypt", "--password-env", "A", "--password-fd", "5", "x"}, "one way only"},
        {{"encrypt", "--password-fd", "five", "x"}, "needs a file descriptor number"},
        {{"encrypt", "--password-env", "QV_UNSET_VARIABLE", "x"}, "is not set"},
        {{"encrypt", "--password-file", "/nonexistent/pw", "x"}, "cannot read"},
        {{"encrypt", "x"}, "no terminal to type the password at"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const Result r = RunArgs(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const Result help = RunArgs({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* word :
         {"encrypt", "decrypt", "info", "--method", "--keep", "--force", "--verbose",
          "--password-file", "--password-fd", "--password-env", "trailing newline", "Exit status"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

TEST(Cli, TerminalPromptsTwiceWithoutEchoAndShowsProgress) {
    TempDir dir;
    const auto plain = PatternBytes(3 * 1024 * 1024, 2);
    WriteBytes(dir / "big.bin", plain);
    {
        Terminal t({"encrypt", "-m", "idea", dir / "big.bin"});
        ASSERT_TRUE(t.WaitFor("Password (IDEA, 6 to 16 characters): ")) << t.Seen();
        t.Type("short\n");
        ASSERT_TRUE(t.WaitFor("Too few characters in password.")) << t.Seen();
        ASSERT_TRUE(t.WaitFor("Password (IDEA, 6 to 16 characters): ")) << t.Seen();
        t.Type("typed secret\n");
        ASSERT_TRUE(t.WaitFor("The same password again: ")) << t.Seen();
        t.Type("typed secreT\n");
        ASSERT_TRUE(t.WaitFor("The two passwords differ.")) << t.Seen();
        ASSERT_TRUE(t.WaitFor("Password (IDEA")) << t.Seen();
        t.Type("typed secret\n");
        ASSERT_TRUE(t.WaitFor("The same password again: ")) << t.Seen();
        t.Type("typed secret\n");
        EXPECT_EQ(t.Finish(), 0) << t.Seen();
        EXPECT_EQ(t.Seen().find("secret"), std::string::npos) << "the password was echoed";
        EXPECT_NE(t.Seen().find("big.bin ["), std::string::npos) << "a progress bar: " << t.Seen();
        EXPECT_NE(t.Seen().find("MB/s"), std::string::npos);
    }
    EXPECT_EQ(dir.Names(), Names{"big.bin.cry"});
    {
        Terminal t({"decrypt", dir / "big.bin.cry"});
        ASSERT_TRUE(t.WaitFor("Password (6 to 24 characters): ")) << t.Seen();
        t.Type("typed secret\n");
        EXPECT_EQ(t.Finish(), 0) << t.Seen();
        EXPECT_EQ(t.Seen().find("The same password"), std::string::npos) << "asked once";
    }
    EXPECT_EQ(ReadBytes(dir / "big.bin"), plain);
}

TEST(Cli, InterruptAtThePromptEndsWithoutTouchingFiles) {
    TempDir dir;
    WriteText(dir / "a.txt", "plain");
    Terminal t({"encrypt", dir / "a.txt"});
    ASSERT_TRUE(t.WaitFor("Password")) << t.Seen();
    t.Type("\x03"); // Ctrl+C
    EXPECT_EQ(t.Finish(), 130) << t.Seen();
    EXPECT_EQ(dir.Names(), Names{"a.txt"});
}
