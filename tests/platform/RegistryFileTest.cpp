#include "RegistryFile.h"
#include "TempDir.h"

#include "../../fuzz/SettingsRoundTrip.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <sys/stat.h>

using namespace qv;
using qvtest::TempDir;
using namespace std::string_literals;

namespace {

const char* Sample = R"(Windows Registry Editor Version 5.00

; written by the installation
[HKEY_CLASSES_ROOT\crypt file\DefaultIcon]
@="/usr/share/quorvane/crypted.png"

[HKEY_CLASSES_ROOT\crypt file\Settings\Options]
"Method"=dword:00000003
"Expire"=dword:0000000a
"Binary"=hex:01,02,\
  03,04

[HKEY_CLASSES_ROOT\crypt file\Settings\MasterPass]
"Dir"="/home/ann/\"quoted\" \\ folder/xwords.001"
)";

const std::string Key = "\\crypt file\\Settings\\MasterPass";

// Settings with the one key, for values to be set in.
RegistryFile WithKey() {
    RegistryFile reg;
    EXPECT_TRUE(reg.AddKey(Key));
    return reg;
}

// The settings as written and read back, with the parse error as a failure.
RegistryFile ReadBack(const RegistryFile& reg) {
    RegistryFile again;
    std::string error;
    EXPECT_TRUE(again.Parse(reg.Serialize(), &error)) << error << "\n" << reg.Serialize();
    return again;
}

std::vector<std::string> Lines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(RegistryFile, ReadsTypedValuesOfExistingKeys) {
    RegistryFile reg;
    std::string error;
    ASSERT_TRUE(reg.Parse(Sample, &error)) << error;

    EXPECT_TRUE(reg.KeyExists("\\crypt file\\Settings\\Options"));
    EXPECT_TRUE(reg.KeyExists("HKEY_CLASSES_ROOT\\Crypt File\\settings\\OPTIONS"));
    EXPECT_FALSE(reg.KeyExists("\\crypt file\\Settings"));

    const auto* method = reg.FindValue("\\crypt file\\Settings\\Options", "method");
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(method->type, RegistryValue::Type::Integer);
    EXPECT_EQ(method->integer, 3u);
    EXPECT_EQ(reg.FindValue("\\crypt file\\Settings\\Options", "Expire")->integer, 10u);
    EXPECT_EQ(reg.FindValue("\\crypt file\\Settings\\Options", "Binary")->type,
              RegistryValue::Type::Other);

    const auto* dir = reg.FindValue("\\crypt file\\Settings\\MasterPass", "Dir");
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(dir->text, "/home/ann/\"quoted\" \\ folder/xwords.001");
    EXPECT_EQ(reg.FindValue("\\crypt file\\DefaultIcon", "")->text,
              "/usr/share/quorvane/crypted.png");
    EXPECT_EQ(reg.FindValue("\\crypt file\\Settings\\Options", "Missing"), nullptr);
}

TEST(RegistryFile, WritesOnlyIntoExistingKeysAndRoundTrips) {
    RegistryFile reg;
    ASSERT_TRUE(reg.Parse(Sample));
    EXPECT_TRUE(reg.SetInteger("\\crypt file\\Settings\\Options", "METHOD", 4));
    EXPECT_TRUE(reg.SetText("\\crypt file\\Settings\\MasterPass", "Dir", "C:\\x \"y\""));
    EXPECT_FALSE(reg.SetInteger("\\crypt file\\Settings\\Nowhere", "Width", 1));
    EXPECT_FALSE(reg.KeyExists("\\crypt file\\Settings\\Nowhere"));

    RegistryFile again;
    std::string error;
    ASSERT_TRUE(again.Parse(reg.Serialize(), &error)) << error << "\n" << reg.Serialize();
    EXPECT_EQ(again.FindValue("\\crypt file\\Settings\\Options", "Method")->integer, 4u);
    EXPECT_EQ(again.FindValue("\\crypt file\\Settings\\MasterPass", "Dir")->text, "C:\\x \"y\"");
    EXPECT_EQ(again.FindValue("\\crypt file\\Settings\\Options", "Binary")->text,
              "hex:01,02,03,04");
    EXPECT_EQ(again.Serialize(), reg.Serialize());
}

TEST(RegistryFile, RefusesTextThatIsNoRegistryFile) {
    struct Case {
        const char* text;
        const char* why;
    };
    const Case cases[] = {
        {"", "empty"},
        {"[HKEY_CLASSES_ROOT\\x]\n", "first line"},
        {"Windows Registry Editor Version 5.00\n\"a\"=dword:1\n", "outside a key"},
        {"Windows Registry Editor Version 5.00\n[HKEY_CLASSES_ROOT\\x]\n\"a\"=dword:xyz\n",
         "bad dword"},
        {"Windows Registry Editor Version 5.00\n[HKEY_CLASSES_ROOT\\x]\n\"a\"=\"open\n",
         "unterminated"},
    };
    for (const auto& c : cases) {
        RegistryFile reg;
        std::string error;
        EXPECT_FALSE(reg.Parse(c.text, &error)) << c.text;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
    }
}

TEST(RegistryFile, SaveRewritesAtomicallyKeepingPermissions) {
    TempDir dir;
    const std::string path = dir / "registry.reg";
    qvtest::WriteText(path, Sample);
    chmod(path.c_str(), 0640);

    RegistryFile reg;
    ASSERT_TRUE(reg.Load(path));
    ASSERT_TRUE(reg.SetInteger("\\crypt file\\Settings\\Options", "Method", 1));
    std::string error;
    ASSERT_TRUE(reg.Save(&error)) << error;

    RegistryFile again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(again.FindValue("\\crypt file\\Settings\\Options", "Method")->integer, 1u);
    struct stat st {};
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"registry.reg"});

    RegistryFile missing;
    EXPECT_FALSE(missing.Load(dir / "none.reg", &error));
}

TEST(RegistryFile, DefaultPathFollowsEnvironment) {
    const char* saved = std::getenv("QUORVANE_REGISTRY");
    const std::string savedValue = saved ? saved : "";
    setenv("QUORVANE_REGISTRY", "/tmp/x.reg", 1);
    EXPECT_EQ(RegistryFile::DefaultPath(), "/tmp/x.reg");
    unsetenv("QUORVANE_REGISTRY");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(RegistryFile::DefaultPath(), "/cfg/quorvane/registry.reg");
    unsetenv("XDG_CONFIG_HOME");
    if (saved)
        setenv("QUORVANE_REGISTRY", savedValue.c_str(), 1);
}

TEST(RegistryFile, EveryTextAndNameTheProgramCanSetReadsBackExactly) {
    struct Case {
        const char* what;
        std::string name;
        std::string text;
    };
    const Case cases[] = {
        {"a folder ending in a backslash", "Dir", "C:\\"},
        {"two backslashes at the end", "Dir", "\\\\server\\share\\\\"},
        {"only a backslash", "Dir", "\\"},
        {"a backslash before the quote", "Dir", "x\\\""},
        {"quotes", "Dir", "\"\"quoted\" \""},
        {"the unnamed value ending in a backslash", "", "C:\\"},
        {"a name ending in a backslash", "Dir\\", "v\\"},
        {"a name of a quote and a backslash", "\"\\", "\\\""},
        {"= and ] in the name", "a=\"b\"]=[c]", "=\"x\"="},
        {"a name like the unnamed value", "@", "@"},
        {"an empty text", "Dir", ""},
        {"blanks and tabs around", " \tDir\t ", " \t/x y\t "},
        {"a line break", "Dir", "/home/ann/a\nb"},
        {"a line break at the end, after a backslash", "Dir", "C:\\\n"},
        {"CR LF", "Dir", "a\r\nb\r\n"},
        {"CR alone", "Dir", "a\rb"},
        {"CR at the end", "Dir", "ab\r"},
        {"other control characters", "Dir", std::string("\x01\x1b[0m\x7f\x1f")},
        {"a value line in the text", "Dir", "x\n\"Other\"=dword:00000001\n[HKEY_CLASSES_ROOT\\y]"},
        {"UTF-8 beyond the basic plane with a line break", "Dir",
         "\xF0\x9F\x94\x91 Schl\xC3\xBCssel\n\xE5\xAF\x86"},
        {"UTF-8 in the name", "Verzeichnis \xC3\xA4", "\xE5\xAF\x86\xE7\xA2\xBC"},
        {"invalid UTF-8 with a tab", "Dir", "\xff\xfe\t\xc3("},
        {"a long text", "Dir", std::string(5000, 'x') + "\\"},
        {"a long text with line breaks", "Dir",
         [] {
             std::string t;
             for (int i = 0; i < 300; ++i)
                 t += "line " + std::to_string(i) + "\\\n";
             return t;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegistryFile reg = WithKey();
        ASSERT_TRUE(reg.SetText(Key, "Before", "one\\"));
        ASSERT_TRUE(reg.SetText(Key, c.name, c.text));
        ASSERT_TRUE(reg.SetInteger(Key, "After", 7));
        ASSERT_TRUE(reg.SetText(Key, "Last", "two"));

        const RegistryFile again = ReadBack(reg);
        EXPECT_EQ(again.Keys(), reg.Keys());
        const RegistryValue* v = again.FindValue(Key, c.name);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->type, RegistryValue::Type::Text);
        EXPECT_EQ(v->text, c.text);
        ASSERT_NE(again.FindValue(Key, "After"), nullptr);
        EXPECT_EQ(again.FindValue(Key, "After")->integer, 7u);
        EXPECT_EQ(again.Serialize(), reg.Serialize());
    }
}

TEST(RegistryFile, OrdinaryValuesKeepTheirFormByteForByte) {
    // Quoted texts (with a tab, non-ASCII and even invalid UTF-8 bytes), dwords and data of
    // other types are rewritten exactly as they stand.
    const std::string text = "Windows Registry Editor Version 5.00\n"
                             "\n"
                             "[HKEY_CLASSES_ROOT\\crypt file\\DefaultIcon]\n"
                             "@=\"/usr/share/quorvane/crypted-file.png\"\n"
                             "\n"
                             "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\MasterPass]\n"
                             "\"Store\"=dword:00000001\n"
                             "\"Dir\"=\"C:\\\\x \\\"y\\\"\\\\\"\n"
                             "\"Tab\"=\"a\tb\"\n"
                             "\"Name\"=\"\xE5\xAF\x86 \xff\"\n"
                             "\"Empty\"=\"\"\n"
                             "\"Binary\"=hex:01,02,03\n"
                             "\n"
                             "[HKEY_CLASSES_ROOT\\HTTP\\shell\\open\\command]\n"
                             "@=\"/usr/bin/xdg-open %1\"\n";
    RegistryFile reg;
    std::string error;
    ASSERT_TRUE(reg.Parse(text, &error)) << error;
    EXPECT_EQ(reg.Serialize(), text);
    EXPECT_EQ(reg.FindValue(Key, "Dir")->text, "C:\\x \"y\"\\");
}

TEST(RegistryFile, TextsThatCannotBeQuotedAreWrittenAsRegSzData) {
    RegistryFile reg = WithKey();
    ASSERT_TRUE(reg.SetText(Key, "Dir", "a\nb"));
    ASSERT_TRUE(reg.SetText(Key, "", "\xC3\xA4\r"));
    ASSERT_TRUE(reg.SetText(Key, "Long", std::string(100, '\n')));
    const std::vector<std::string> lines = Lines(reg.Serialize());
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[3], "\"Dir\"=hex(1):61,00,0a,00,62,00,00,00");
    EXPECT_EQ(lines[4], "@=hex(1):e4,00,0d,00,00,00");
    // Continued over lines as regedit writes them, none longer than 80 characters.
    EXPECT_EQ(lines[5].rfind("\"Long\"=hex(1):0a,00,", 0), 0u) << lines[5];
    std::size_t continued = 0;
    for (std::size_t i = 5; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 80u) << lines[i];
        if (i > 5) {
            EXPECT_EQ(lines[i].rfind("  ", 0), 0u) << lines[i];
        }
        if (lines[i].back() == '\\')
            ++continued;
    }
    EXPECT_EQ(continued, lines.size() - 6);
    EXPECT_EQ(lines.back().substr(lines.back().size() - 5), "00,00");
}

TEST(RegistryFile, ReadsRegSzAndExpandSzDataAsTextAndKeepsOtherDataAsRead) {
    struct Case {
        const char* what;
        const char* data;
        RegistryValue::Type type;
        std::string result; // the text, or the data as read
    };
    using T = RegistryValue::Type;
    const Case cases[] = {
        {"REG_SZ", "hex(1):41,00,0a,00,42,00,00,00", T::Text, "A\nB"},
        {"REG_SZ over lines, CR LF", "hex(1):41,00,\\\r\n  0a,00,\\\r\n  42,00,00,00\r", T::Text,
         "A\nB"},
        {"REG_EXPAND_SZ", "HEX(2):25,00,48,00,25,00,00,00", T::Text, "%H%"},
        {"a surrogate pair", "hex(1):3d,d8,11,dd,00,00", T::Text, "\xF0\x9F\x94\x91"},
        {"an empty REG_SZ", "hex(1):00,00", T::Text, ""},
        {"no terminator", "hex(1):41,00", T::Other, "hex(1):41,00"},
        {"a zero inside", "hex(1):41,00,00,00,42,00,00,00", T::Other,
         "hex(1):41,00,00,00,42,00,00,00"},
        {"an odd length", "hex(1):41,00,00", T::Other, "hex(1):41,00,00"},
        {"a lone surrogate", "hex(1):3d,d8,00,00", T::Other, "hex(1):3d,d8,00,00"},
        {"no bytes", "hex(1):", T::Other, "hex(1):"},
        {"not hex", "hex(1):4g,00,00,00", T::Other, "hex(1):4g,00,00,00"},
        {"binary", "hex:01,02,\\\n  03", T::Other, "hex:01,02,03"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = "Windows Registry Editor Version 5.00\n"
                                 "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\MasterPass]\n"
                                 "\"Dir\"=" +
                                 std::string(c.data) + "\n\"Next\"=\"kept\"\n";
        RegistryFile reg;
        std::string error;
        ASSERT_TRUE(reg.Parse(text, &error)) << error;
        const RegistryValue* v = reg.FindValue(Key, "Dir");
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->type, c.type);
        EXPECT_EQ(v->text, c.result);
        ASSERT_NE(reg.FindValue(Key, "Next"), nullptr);
        EXPECT_EQ(ReadBack(reg).Keys(), reg.Keys());
    }
}

TEST(RegistryFile, ABackslashThatNoHexLineContinuesSwallowsNothing) {
    // Data of other types ending in a backslash before a value, a key, a comment or the end of
    // the file; a comment that ends in a backslash.
    const std::string text = "Windows Registry Editor Version 5.00\n"
                             "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\MasterPass]\n"
                             "\"A\"=hex:01,\\\n"
                             "\"B\"=\"b\"\n"
                             "; see C:\\x=y\\\n"
                             "\"C\"=hex:02,\\\n"
                             "; c\n"
                             "\"D\"=hex:03, \\\\\n"
                             "[HKEY_CLASSES_ROOT\\crypt file\\Other]\n"
                             "\"E\"=hex:04,\\\n"
                             "\n"
                             "\"F\"=hex:05,\\";
    RegistryFile reg;
    std::string error;
    ASSERT_TRUE(reg.Parse(text, &error)) << error;
    const std::pair<const char*, const char*> expected[] = {
        {"A", "hex:01,"}, {"C", "hex:02,"}, {"D", "hex:03,"}};
    for (const auto& [name, data] : expected) {
        ASSERT_NE(reg.FindValue(Key, name), nullptr) << name;
        EXPECT_EQ(reg.FindValue(Key, name)->text, data) << name;
    }
    ASSERT_NE(reg.FindValue(Key, "B"), nullptr);
    EXPECT_EQ(reg.FindValue(Key, "B")->text, "b");
    ASSERT_NE(reg.FindValue("\\crypt file\\Other", "F"), nullptr);
    EXPECT_EQ(reg.FindValue("\\crypt file\\Other", "E")->text, "hex:04,");
    EXPECT_EQ(reg.FindValue("\\crypt file\\Other", "F")->text, "hex:05,");

    // A value set after such data is not swallowed by it when read back.
    ASSERT_TRUE(reg.SetText("\\crypt file\\Other", "G", "kept"));
    const RegistryFile again = ReadBack(reg);
    EXPECT_EQ(again.Keys(), reg.Keys());
}

TEST(RegistryFile, RefusesWhatTheFileCannotHoldAndKeepsTheOldValue) {
    struct Case {
        const char* what;
        std::string name;
        std::string text;
    };
    const Case cases[] = {
        {"a zero byte", "Dir", std::string("/tmp/a\0b", 8)},
        {"a zero byte alone", "Dir", std::string(1, '\0')},
        {"invalid UTF-8 with a line break", "Dir", "\xff\n"},
        {"invalid UTF-8 with a CR", "Dir", "a\r\xc3"},
        {"an overlong form with a line break", "Dir", "\xc0\xaf\n"},
        {"a line break in the name", "a\nb", "x"},
        {"a CR in the name", "Dir\r", "x"},
        {"a zero byte in the name", std::string("D\0ir", 4), "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegistryFile reg = WithKey();
        ASSERT_TRUE(reg.SetText(Key, "Dir", "/home/ann/xwords.001"));
        const std::vector<RegistryFile::Key> before = reg.Keys();
        EXPECT_FALSE(RegistryFile::CanHoldName(c.name) && RegistryFile::CanHoldText(c.text));
        EXPECT_FALSE(reg.SetText(Key, c.name, c.text));
        EXPECT_TRUE(reg.KeyExists(Key));
        EXPECT_EQ(reg.Keys(), before);
        if (!RegistryFile::CanHoldName(c.name)) {
            EXPECT_FALSE(reg.SetInteger(Key, c.name, 1));
        }
        EXPECT_EQ(reg.Keys(), before);
    }
    EXPECT_TRUE(RegistryFile::CanHoldText("C:\\\n\t\"x\""));
    EXPECT_TRUE(RegistryFile::CanHoldText("\xff without control characters"));
}

TEST(RegistryFile, AddsOnlyKeysThatReadBackAsTheSameSection) {
    const std::pair<std::string, bool> cases[] = {
        {"\\a]b", true},
        {"\\a[b]", true},
        {"\\x=\"y\"\\", true},
        {"\\ blank \t", true},
        {"\\a\nb", false},
        {"\\a\rb", false},
        {"-HKEY_CLASSES_ROOT\\x", false},
        {std::string("\\a\0b", 4), false},
    };
    for (const auto& [key, accepted] : cases) {
        SCOPED_TRACE(key);
        RegistryFile reg = WithKey();
        ASSERT_TRUE(reg.SetText(Key, "Dir", "before"));
        EXPECT_EQ(reg.AddKey(key), accepted);
        EXPECT_EQ(reg.KeyExists(key), accepted);
        if (accepted) {
            EXPECT_TRUE(reg.SetText(key, "Dir", "inside"));
        }
        const RegistryFile again = ReadBack(reg);
        EXPECT_EQ(again.Keys(), reg.Keys());
        EXPECT_EQ(again.KeyExists(key), accepted);
        ASSERT_NE(again.FindValue(Key, "Dir"), nullptr);
        EXPECT_EQ(again.FindValue(Key, "Dir")->text, "before");
    }
}

TEST(RegistryFile, NastyInputsSurviveTheSettingsRoundTrip) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const std::string key = "[HKEY_CLASSES_ROOT\\crypt file\\Settings\\MasterPass]\n";
    const std::string inputs[] = {
        // Whole files.
        header + key + "\"Dir\"=\"C:\\\\\"\n\"Next\"=\"n\"\n",
        header + key + "@=\"\\\\\"\n\"a\\\\\"=\"\\\\\\\\\"\n",
        header + key + "\"Bin\"=hex:01,\\\n",
        header + key + "\"Bin\"=hex:01,\\\n[HKEY_CLASSES_ROOT\\y]\n\"v\"=dword:1\n",
        header + key + "\"a=b]\"=\"=]\"\n\"\"=\"empty name\"\n\"e\"=\"\"\n",
        header + key + "\"q\"=\"\\\"\\\"\" trailing\n",
        "\xEF\xBB\xBF" + header + key + "\"Dir\"=\"bom\"\n",
        "\xEF\xBB\xBF" + header + "\r\n" + key + "\"Dir\"=\"crlf\"\r\n",
        header + key + "\"t\"=\"\ta\t\"\n\t\"u\" \t= \t\"x\"\t\n",
        header + key + "\"cr\"=\"a\rb\"\n\"cr2\"=\"c\r\"\r\n",
        header + key + "\"x\"=\"\xff\xfe\x01\"\n\"z\"=\"a\0b\"\n"s,
        header + key + "\"Dir\"=hex(2):25,00,0a,00,00,00\n\"D2\"=hex(1):0a,00\n",
        header + "[\\crypt file]\n[\\crypt file]\n\"v\"=\"w\"\n[-HKEY_CLASSES_ROOT\\z]\n[]\n",
        header + "[HKEY_CLASSES_ROOT\\a]b]\n[HKEY_CLASSES_ROOT\\A]B]\n@=dword:FFFFFFFF\n",
        header + key + "\"long\"=\"" + std::string(20000, 'L') + "\"\n",
        header,
        // Not registry files: their bytes are set as names and texts.
        "",
        std::string(1, '\0'),
        "\x03"
        "a\\\\\n\r\t\"=]\xff",
        "\x05"
        "Dir\\\\C:\\",
        "\x02\r\n\r\n",
        "\x3f" + std::string(70, '=') + "]\n\"",
        std::string(1, '\0') + std::string(10000, '\n'),
        "\x04\xF0\x9F\x94\x91\xE5\xAF\x86\n\xc3",
    };
    for (const std::string& input : inputs) {
        std::string why;
        EXPECT_TRUE(SettingsRoundTrip(input, &why))
            << why << "\nfor " << settings_round_trip::Visible(input);
    }
}
