#include "DirCryptor.h"

#include <cerrno>
#include <unistd.h>

namespace qv {

void TQV_DirCryptor::CollectSelection(const std::vector<std::string>& selectedCaptions) {
    FileNames = selectedCaptions;
    Directory = CurrentDirectory();
}

std::string CurrentDirectory() {
    std::string buffer(256, '\0');
    for (;;) {
        if (getcwd(buffer.data(), buffer.size())) {
            buffer.resize(buffer.find('\0'));
            return buffer;
        }
        if (errno != ERANGE)
            return {};
        buffer.assign(buffer.size() * 2, '\0');
    }
}

} // namespace qv
