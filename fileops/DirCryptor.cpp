#include "DirCryptor.h"

namespace qv {

void TQV_DirCryptor::CollectSelection(const std::vector<std::string>& selectedCaptions,
                                      const std::string& shownDirectory) {
    FileNames = selectedCaptions;
    Directory = shownDirectory;
}

} // namespace qv
