#include "DirCryptor.h"

namespace qv {

void TQV_DirCryptor::CollectSelection(const std::vector<std::string>& selectedCaptions) {
    FileNames = selectedCaptions;
    Directory = CurrentDirectory();
}

} // namespace qv
