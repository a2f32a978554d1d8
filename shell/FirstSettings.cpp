#include "FirstSettings.h"

#include "FileSystem.h"
#include "Paths.h"
#include "RegistrySettings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace qv {

namespace {

struct Band {
    const char* control;
    int width;
    bool startsRow;
};

} // namespace

RegistryFile FirstRegistry(const std::string& dataDir, const std::string& browserCommand,
                           std::string* refused) {
    RegistryFile reg;
    reg.AddKey("\\crypt file");
    reg.SetText("\\crypt file", "", "Quorvane crypted file");
    reg.AddKey(keys::DefaultIcon);
    if (!reg.SetText(keys::DefaultIcon, "", JoinPath(dataDir, "crypted-file.png")) && refused)
        *refused = "the path of the data folder";
    reg.AddKey("\\crypt file\\Settings");

    reg.AddKey(keys::MainWin);
    reg.SetInteger(keys::MainWin, "Width", 800);
    reg.SetInteger(keys::MainWin, "Height", 580);

    reg.AddKey(keys::ListView);
    const std::string source = std::string(keys::ListView) + "\\Source";
    const std::string crypted = std::string(keys::ListView) + "\\Crypted";
    reg.AddKey(source);
    reg.AddKey(crypted);
    // In the first window the plain list is 590 pixels wide inside its frame, 576 beside a
    // vertical scroll bar; its columns take 570 of them, so that no horizontal scroll bar is
    // needed. Each column holds its caption with the sort arrow even in a 10-point font (about
    // 60 pixels for two characters, 85 for four). In the 9-point font the program starts with,
    // the date column holds a date such as "31 May 2026 23:59:59", the size column nine digits
    // and the type column a type name such as "plain text document"; the crypted list's
    // method names are short.
    for (const std::string& list : {source, crypted}) {
        reg.SetInteger(list, "Name", 150);
        reg.SetInteger(list, "Size", 80);
        reg.SetInteger(list, "Date", 150);
        reg.SetInteger(list, "Attributes", 60);
    }
    reg.SetInteger(source, "FileType", 130);
    reg.SetInteger(crypted, "EncryptedBy", 90);

    reg.AddKey(keys::CoolBands);
    const Band bands[] = {{"StatusBar2", 405, true},
                          {"StatusBar1", 172, true},
                          {"StatusBar3", 620, true},
                          {"Method_Panel", 200, false}};
    for (int b = 0; b < 4; ++b) {
        const std::string key = std::string(keys::CoolBands) + "\\" + std::to_string(b + 1);
        reg.AddKey(key);
        reg.SetInteger(key, "Break", bands[b].startsRow ? 1 : 0);
        reg.SetInteger(key, "Width", static_cast<std::uint32_t>(bands[b].width));
        reg.SetText(key, "Control", bands[b].control);
    }

    reg.AddKey(keys::Options);
    reg.SetInteger(keys::Options, "OnePassword", 0);
    reg.SetInteger(keys::Options, "Expire", 10);
    reg.SetInteger(keys::Options, "OnePerList", 0);
    reg.SetInteger(keys::Options, "ShowCry", 1);
    reg.SetInteger(keys::Options, "ShowTIP", 1);
    reg.SetInteger(keys::Options, "Method", 1);

    reg.AddKey(keys::MasterPass);
    reg.SetInteger(keys::MasterPass, "Store", 0);
    reg.SetText(keys::MasterPass, "Dir", "");
    reg.SetInteger(keys::MasterPass, "Expires", 1);
    reg.SetInteger(keys::MasterPass, "ExpTime", 10);

    reg.AddKey("\\HTTP");
    reg.AddKey("\\HTTP\\shell");
    reg.AddKey("\\HTTP\\shell\\open");
    reg.AddKey(keys::BrowserCommand);
    if (!reg.SetText(keys::BrowserCommand, "", browserCommand) && refused)
        *refused = "the browser command";
    return reg;
}

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path && *path ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = JoinPath(folder.empty() ? "." : folder, program);
        if (IsRegularFile(candidate) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

FirstWriteResult WriteFirstRegistry(const RegistryFile& registry, std::string* error) {
    const std::string& target = registry.Path();
    auto fail = [&](int err) {
        if (error)
            *error = "cannot write " + target + ": " + std::strerror(err);
        return FirstWriteResult::Failed;
    };
    if (PathExists(target))
        return FirstWriteResult::AlreadyThere;
    const std::string folder = DirectoryPart(target);
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::create_directories(folder, ec) && ec)
        return fail(ec.value());

    AtomicFile file(target);
    if (const int err = file.Open(0600); err != 0)
        return fail(err);
    const std::string text = registry.Serialize();
    if (!file.Write(text.data(), text.size()))
        return fail(errno ? errno : EIO);
    if (const int err = file.Commit(/*replace=*/false); err != 0) {
        file.Discard();
        return err == EEXIST ? FirstWriteResult::AlreadyThere : fail(err);
    }
    return FirstWriteResult::Written;
}

} // namespace qv
