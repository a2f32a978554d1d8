#include "AboutInfo.h"

#include "FileSystem.h"
#include "RegistryFile.h"
#include "RegistryKeys.h"

#include <cstdio>
#include <cstring>
#include <sys/sysinfo.h>
#include <sys/utsname.h>

namespace qv {

std::string OsVersionText(const std::string& kernelRelease) {
    unsigned numbers[2] = {0, 0};
    std::size_t at = 0;
    for (unsigned& number : numbers) {
        std::size_t digits = 0;
        while (at < kernelRelease.size() && kernelRelease[at] >= '0' && kernelRelease[at] <= '9' &&
               digits < 9) {
            number = number * 10 + static_cast<unsigned>(kernelRelease[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || at >= kernelRelease.size() || kernelRelease[at] != '.')
            break;
        ++at;
    }
    char text[40];
    std::snprintf(text, sizeof text, "Linux %u.%.2u", numbers[0], numbers[1]);
    return text;
}

std::string KernelRelease() {
    utsname names{};
    return uname(&names) == 0 ? names.release : "";
}

std::string MemoryText(std::uint64_t bytes) {
    const std::uint64_t kilobytes = bytes / 1024;
    return kilobytes == 0 ? std::string() : std::to_string(kilobytes);
}

std::uint64_t TotalMemory() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0)
        return 0;
    return static_cast<std::uint64_t>(info.totalram) * info.mem_unit;
}

std::string LinkAddress(const std::string& configured, const std::string& helpFile) {
    if (!configured.empty())
        return configured;
    static const char hex[] = "0123456789ABCDEF";
    std::string address = "file://";
    for (const unsigned char c : AbsolutePath(helpFile)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || std::strchr("/-._~", c) != nullptr;
        if (plain) {
            address += static_cast<char>(c);
        } else {
            address += '%';
            address += hex[c >> 4];
            address += hex[c & 15];
        }
    }
    return address;
}

std::vector<std::string> BrowserCommand(const RegistryFile& registry, const std::string& address) {
    if (!registry.KeyExists(keys::BrowserCommand))
        return {};
    const RegistryValue* value = registry.FindValue(keys::BrowserCommand, "");
    if (!value || value->type != RegistryValue::Type::Text || value->text.empty())
        return {};
    const std::string& command = value->text;
    const auto end = command.find_last_of("/:");
    const std::size_t nameStart = end == std::string::npos ? 0 : end + 1;
    const std::string name = command.substr(nameStart, command.find(' ', nameStart) - nameStart);
    return {command.substr(0, nameStart) + name, address};
}

} // namespace qv
