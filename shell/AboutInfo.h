// What the about box shows and how its link is opened: the system's version, the machine's
// memory, and the browser command the registry names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class RegistryFile;

// "Linux 6.01" from a kernel release such as "6.1.0-13-amd64": the major and the minor number,
// the minor with at least two digits; missing numbers count as 0.
std::string OsVersionText(const std::string& kernelRelease);
// The running kernel's release (uname).
std::string KernelRelease();

// The memory in KB, digits only; nothing for 0.
std::string MemoryText(std::uint64_t bytes);
// The machine's total memory in bytes (sysinfo); 0 when it cannot be told.
std::uint64_t TotalMemory();

// The address the about box links to: the one the build was configured with, else the help
// file as a file: address (its path made absolute, with the characters an address cannot hold
// percent-encoded), which always opens.
std::string LinkAddress(const std::string& configured, const std::string& helpFile);

inline constexpr const char* NoBrowserMessage = "Couldn't launch the HTML browser.";

// The program and its argument that open address, from the registry's
// "\HTTP\shell\open\command" value: its directory part (up to and including its last "/" or
// ":"), followed by its file-name part cut before the first blank, and then address. Empty when
// the key does not exist or has no text value.
std::vector<std::string> BrowserCommand(const RegistryFile& registry, const std::string& address);

} // namespace qv
