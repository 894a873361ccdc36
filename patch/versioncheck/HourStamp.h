// The boot check's hourly UTC time stamp, "%Y-%m-%d-%H".
#pragma once

#include <ctime>
#include <string>

namespace tavo {

std::string utcHourStamp(std::time_t when);

}  // namespace tavo
