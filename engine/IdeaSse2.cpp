// The Sse2 path of IdeaBlocks (to be filled in).
#include "IdeaLanes.h"

namespace qv {

std::size_t IdeaBlocksSse2(const std::uint16_t*, const std::uint8_t*, std::uint8_t*,
                           std::size_t) noexcept {
    return 0;
}

} // namespace qv
