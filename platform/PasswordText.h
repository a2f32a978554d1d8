// Typed password text into the bytes the ciphers use.
#pragma once

#include "SecureMemory.h"

#include <string_view>

namespace qv {

// The bytes of a password typed into a window: the text in the locale's character set, which is
// UTF-8 on Linux, so a character outside ASCII counts with the two to four bytes of its UTF-8
// form in every length rule. A lone surrogate (which no keyboard produces) becomes U+FFFD. The
// text is encoded straight into memory that is zeroed on release, so no unzeroed copy of the
// password is made on the way.
SecureBytes PasswordBytes(std::u16string_view typed);

} // namespace qv
