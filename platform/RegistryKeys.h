// The registry keys the program reads and writes, named from the root as the program opens them.
#pragma once

namespace qv::keys {

inline constexpr const char* MainWin = "\\crypt file\\Settings\\MainWin";
inline constexpr const char* ListView = "\\crypt file\\Settings\\ListView";
inline constexpr const char* CoolBands = "\\crypt file\\Settings\\CoolBands";
inline constexpr const char* DefaultIcon = "\\crypt file\\DefaultIcon";
inline constexpr const char* Options = "\\crypt file\\Settings\\Options";
inline constexpr const char* MasterPass = "\\crypt file\\Settings\\MasterPass";
inline constexpr const char* BrowserCommand = "\\HTTP\\shell\\open\\command";

} // namespace qv::keys
