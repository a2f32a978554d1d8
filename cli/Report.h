// How quorvane-cli says what went wrong: one line on standard error per failure.
#pragma once

#include <cstdio>
#include <string>

namespace qv::cli {

inline constexpr const char* Program = "quorvane-cli";

// "quorvane-cli: SUBJECT: MESSAGE", or "quorvane-cli: MESSAGE" when there is no subject.
inline void Report(const std::string& subject, const std::string& message) {
    std::fprintf(stderr, "%s: %s%s%s\n", Program, subject.c_str(), subject.empty() ? "" : ": ",
                 message.c_str());
}

} // namespace qv::cli
