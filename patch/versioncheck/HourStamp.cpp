#include "HourStamp.h"

namespace tavo {

std::string utcHourStamp(std::time_t when) {
    std::tm utc{};
    if (gmtime_r(&when, &utc) == nullptr) return std::string();
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d-%H", &utc);
    return std::string(text, length);
}

}  // namespace tavo
