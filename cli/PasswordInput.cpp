#include "PasswordInput.h"

#include "FileSystem.h"
#include "Signals.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace qv::cli {

namespace {

// More than any password the program accepts; what is longer is refused whole.
constexpr std::size_t MaxRead = 4096;

void StripOneNewline(SecureBytes& bytes) {
    if (!bytes.empty() && bytes.back() == '\n') {
        bytes.pop_back();
        if (!bytes.empty() && bytes.back() == '\r')
            bytes.pop_back();
    }
}

// Reads fd to its end into bytes; false with errno set on failure, or with tooLong.
bool ReadAll(int fd, SecureBytes& bytes, bool& tooLong) {
    bytes.assign(MaxRead + 1, 0);
    const long n = ReadFull(fd, bytes.data(), bytes.size());
    if (n < 0) {
        bytes.clear();
        return false;
    }
    tooLong = static_cast<std::size_t>(n) > MaxRead;
    bytes.resize(static_cast<std::size_t>(n));
    return true;
}

std::string LengthProblem(const SecureBytes& password, const PasswordRules& rules) {
    if (password.size() < rules.minimum)
        return rules.tooFew + " At least " + std::to_string(rules.minimum) + " are needed.";
    if (password.size() > rules.maximum)
        return rules.tooMany + " At most " + std::to_string(rules.maximum) + " are allowed here.";
    return {};
}

// The terminal with echo turned off while a password is typed, and back as it was afterwards.
class QuietTerminal {
public:
    explicit QuietTerminal(int fd) : fd_(fd) {
        if (tcgetattr(fd_, &saved_) != 0)
            return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK);
        quiet.c_lflag |= ECHONL | ICANON; // the newline still shows, lines still edit
        active_ = tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
    }
    QuietTerminal(const QuietTerminal&) = delete;
    QuietTerminal& operator=(const QuietTerminal&) = delete;
    ~QuietTerminal() {
        if (active_)
            tcsetattr(fd_, TCSAFLUSH, &saved_);
    }

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

enum class LineResult { Read, Ended, Interrupted, Failed };

// One line typed at the terminal, without its newline.
LineResult ReadLine(int tty, const std::string& prompt, SecureBytes& line) {
    line.clear();
    line.reserve(MaxRead + 1);
    QuietTerminal quiet(tty);
    if (!WriteAll(tty, prompt.data(), prompt.size()))
        return LineResult::Failed;
    for (;;) {
        // A signal that comes between a check and a blocking read would go unnoticed, so the
        // terminal is watched in short turns.
        if (StopSignal() != 0)
            return LineResult::Interrupted;
        pollfd ready{tty, POLLIN, 0};
        const int n = poll(&ready, 1, 200);
        if (n < 0 && errno != EINTR)
            return LineResult::Failed;
        if (n <= 0)
            continue;
        std::uint8_t c = 0;
        const ssize_t got = read(tty, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return LineResult::Failed;
        if (got == 0)
            return line.empty() ? LineResult::Ended : LineResult::Read;
        if (c == '\n')
            return LineResult::Read;
        if (line.size() <= MaxRead)
            line.push_back(c);
        c = 0;
    }
}

bool FromTerminal(const PasswordRules& rules, SecureBytes& password, std::string& error) {
    UniqueFd tty(open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!tty.Valid()) {
        error = "there is no terminal to type the " + rules.what + " at; give it with " +
                rules.options + "-file, " + rules.options + "-fd or " + rules.options + "-env";
        return false;
    }
    auto say = [&tty](const std::string& text) {
        const std::string line = text + "\n";
        WriteAll(tty.Get(), line.data(), line.size());
    };
    for (int attempt = 0; attempt < 3; ++attempt) {
        SecureBytes first, second;
        std::string prompt = rules.what + " (" + rules.description + "): ";
        prompt.front() =
            static_cast<char>(std::toupper(static_cast<unsigned char>(prompt.front())));
        LineResult result = ReadLine(tty.Get(), prompt, first);
        if (result == LineResult::Read && rules.confirm && LengthProblem(first, rules).empty())
            result = ReadLine(tty.Get(), "The same " + rules.what + " again: ", second);
        if (result == LineResult::Interrupted) {
            error = "interrupted";
            return false;
        }
        if (result != LineResult::Read) {
            error = "no " + rules.what + " was typed";
            return false;
        }
        if (const std::string problem = LengthProblem(first, rules); !problem.empty()) {
            say(problem);
            continue;
        }
        if (rules.confirm && first != second) {
            say(rules.differ);
            continue;
        }
        if (rules.accept) {
            if (const std::string refusal = rules.accept(first, rules.confirm ? second : first);
                !refusal.empty()) {
                say(refusal);
                continue;
            }
        }
        password = std::move(first);
        return true;
    }
    error = "no usable " + rules.what + " after three attempts";
    return false;
}

} // namespace

bool ReadPassword(const PasswordRequest& request, const PasswordRules& rules, SecureBytes& password,
                  std::string& error) {
    password.clear();
    if (request.source == PasswordSource::Terminal)
        return FromTerminal(rules, password, error);

    bool tooLong = false;
    std::string from;
    switch (request.source) {
    case PasswordSource::File: {
        from = "the " + rules.what + " file " + request.argument;
        UniqueFd fd(open(request.argument.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.Valid() || !ReadAll(fd.Get(), password, tooLong)) {
            error = "cannot read " + from + ": " + std::strerror(errno);
            return false;
        }
        break;
    }
    case PasswordSource::Descriptor: {
        from = "file descriptor " + request.argument;
        char* end = nullptr;
        errno = 0;
        const long fd = std::strtol(request.argument.c_str(), &end, 10);
        if (request.argument.empty() || *end != '\0' || errno != 0 || fd < 0 || fd > 1000000) {
            error = rules.options + "-fd needs a file descriptor number, not \"" +
                    request.argument + "\"";
            return false;
        }
        if (!ReadAll(static_cast<int>(fd), password, tooLong)) {
            error = "cannot read the " + rules.what + " from " + from + ": " + std::strerror(errno);
            return false;
        }
        break;
    }
    case PasswordSource::Environment: {
        from = "the environment variable " + request.argument;
        const char* value = std::getenv(request.argument.c_str());
        if (!value) {
            error = from + " is not set";
            return false;
        }
        const std::size_t n = std::strlen(value);
        tooLong = n > MaxRead;
        password.assign(value, value + std::min(n, MaxRead));
        // The value's bytes are overwritten where they stand: the environment block the
        // process started with stays readable (/proc/PID/environ, a core file) for as long as
        // it runs, and removing the variable only drops the pointer to them. Removed as well,
        // so nothing this program starts is handed the empty variable.
        explicit_bzero(const_cast<char*>(value), n);
        unsetenv(request.argument.c_str());
        break;
    }
    case PasswordSource::Terminal:
        break;
    }
    StripOneNewline(password);
    if (tooLong) {
        password.clear();
        error = rules.tooMany + " (" + from + ")";
        return false;
    }
    std::string problem = LengthProblem(password, rules);
    if (problem.empty() && rules.accept)
        problem = rules.accept(password, password);
    if (!problem.empty()) {
        password.clear();
        error = problem + " (" + from + ")";
        return false;
    }
    return true;
}

} // namespace qv::cli
