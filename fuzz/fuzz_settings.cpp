// The settings parser under mutated registry files: every text it accepts must be written back
// and read again to the same settings (SettingsRoundTrip.h). A text it refuses is no finding;
// a round trip that changes the settings, or any crash on the way, is.
#include "FuzzSupport.h"
#include "SettingsRoundTrip.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string why;
    if (!qv::SettingsRoundTrip(text, &why))
        qv::fuzz::Fail("the settings did not survive a write and a read: " + why);
    return 0;
}
