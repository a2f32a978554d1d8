#include "PasswordDialog.h"

#include "Pwd.h"

#include <vector>

namespace qv {

namespace {

const char* const EnterPassword = "      輸入這個密碼 "; // enter this password

} // namespace

std::size_t EncryptMaxLength(std::int32_t method) {
    switch (method) {
    case MethodIdea:
        return 16;
    case MethodDes:
        return 8;
    default:
        return 24;
    }
}

std::string EncryptEnterText(std::int32_t method) {
    switch (method) {
    case MethodIdea:
        return std::string(EnterPassword) + "(6 - 16 符號)   ";
    case MethodDes:
        return std::string(EnterPassword) + "(6 - 8 符號)   ";
    default:
        return std::string(EnterPassword) + "(6 - 24 符號)   ";
    }
}

std::string DecryptEnterText(const std::string& methodName) {
    if (methodName == "DES")
        return std::string(EnterPassword) + "( 6 - 8 符號 ) ";
    if (methodName == "IDEA")
        return std::string(EnterPassword) + "( 6 - 16 符號 ) ";
    return std::string(EnterPassword) + "( 6 - 24 符號 ) ";
}

std::string ShortenedDirectory(const std::string& directory,
                               const std::function<bool(const std::string&)>& fits) {
    if (fits(directory))
        return directory;
    // Where each directory name after the first begins.
    std::vector<std::size_t> starts;
    for (std::size_t i = 1; i < directory.size(); ++i)
        if (i > 1 && directory[i - 1] == '/' && directory[i] != '/')
            starts.push_back(i);
    if (starts.empty())
        return directory;
    for (const std::size_t start : starts) {
        const std::string shortened = ".../" + directory.substr(start);
        if (fits(shortened) || start == starts.back())
            return shortened;
    }
    return directory;
}

} // namespace qv
