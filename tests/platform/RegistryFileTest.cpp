#include "RegistryFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

using namespace qv;
using qvtest::TempDir;

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
