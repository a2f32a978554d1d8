#include "Pwd.h"

#include "KeyExpand.h"

#include <algorithm>

namespace qv {

void TQV_Pwd::SetTypedPassword(const std::uint8_t* bytes, std::size_t n) {
    Password.assign(bytes, bytes + n);
    MaskPassword(Password.data(), Password.size());
    PasswordLength = static_cast<std::int32_t>(n);
}

SecureBytes TQV_Pwd::TypedPassword() const {
    const std::size_t n =
        std::min(Password.size(), static_cast<std::size_t>(std::max(PasswordLength, 0)));
    SecureBytes typed(Password.begin(), Password.begin() + static_cast<std::ptrdiff_t>(n));
    MaskPassword(typed.data(), typed.size());
    return typed;
}

} // namespace qv
