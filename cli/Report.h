// How quorvane-cli says what went wrong: one line on standard error per failure.
#pragma once

#include <string>

namespace qv::cli {

inline constexpr const char* Program = "quorvane-cli";

// "quorvane-cli: SUBJECT: MESSAGE", or "quorvane-cli: MESSAGE" when there is no subject.
// The line is written whole, under the lock that the workers and the progress line share.
void Report(const std::string& subject, const std::string& message);

} // namespace qv::cli
