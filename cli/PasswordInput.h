// Where quorvane-cli takes its password from. Never from an argument: every user of the machine
// can read the command lines of running programs.
#pragma once

#include "SecureMemory.h"

#include <cstddef>
#include <functional>
#include <string>

namespace qv::cli {

enum class PasswordSource {
    Terminal,    // /dev/tty, without echo
    File,        // --password-file FILE
    Descriptor,  // --password-fd N
    Environment, // --password-env NAME
};

struct PasswordRequest {
    PasswordSource source = PasswordSource::Terminal;
    std::string argument; // the file, the descriptor number or the variable's name
};

// The password dialogs' own texts for a password of the wrong length.
inline constexpr const char* PasswordTooFewMessage = "Too few characters in password.";
inline constexpr const char* PasswordTooManyMessage = "Too many characters in password.";

// What a password must look like: its length in bytes, and whether a terminal asks twice.
struct PasswordRules {
    std::size_t minimum = 6;
    std::size_t maximum = 24;
    bool confirm = false;    // encrypting: type it twice
    std::string description; // for the prompt, e.g. "3xDES, 6 to 24 characters"

    // What is read, as the prompts and messages name it ("Password (...): ", "The same password
    // again: "), and the options that give it in other ways (OPTIONS-file, -fd, -env).
    std::string what = "password";
    std::string options = "--password";
    // The messages for a text too short, too long, or confirmed differently.
    std::string tooFew = PasswordTooFewMessage;
    std::string tooMany = PasswordTooManyMessage;
    std::string differ = "The two passwords differ.";
    // A last check of a text that passed the others, given the text and its confirmation (the
    // text itself when it is not typed twice): "" accepts it, anything else says why not. A
    // terminal shows the reason and asks again; any other source fails with it.
    std::function<std::string(const SecureBytes& first, const SecureBytes& second)> accept;
};

// Reads the password as bytes. From a file, a descriptor or a variable one trailing "\n" or
// "\r\n" is not part of it; on a terminal the prompt is repeated (up to three times) after a
// password of the wrong length or a confirmation that differs. On failure error says why and
// password is empty.
bool ReadPassword(const PasswordRequest& request, const PasswordRules& rules, SecureBytes& password,
                  std::string& error);

} // namespace qv::cli
