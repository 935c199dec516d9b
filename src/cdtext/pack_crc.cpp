#include "cdtext/cd_text.h"

namespace ckvd::cdtext {

uint16_t PackCrc(std::span<const uint8_t, 16> pack) {
    uint16_t crc = 0;
    for (uint8_t byte : pack) {
        crc ^= static_cast<uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return static_cast<uint16_t>(~crc);
}

bool DiscText::empty() const {
    return title.empty() && performer.empty() && songwriter.empty() && catalog.empty() && tracks.empty();
}

const TrackText* DiscText::track(uint8_t number) const {
    auto it = tracks.find(number);
    return it == tracks.end() ? nullptr : &it->second;
}

} // namespace ckvd::cdtext
