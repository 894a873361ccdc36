// The messages an update run posts to its receiver: what each wParam carries
// and the records behind the pointer payloads.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace zanth {

enum PatchNotify : int {
    PATCH_NOTIFY_ERROR_TEXT = 0,
    PATCH_NOTIFY_ERROR_CODE = 1,
    PATCH_NOTIFY_DOWNLOAD_POS = 2,
    PATCH_NOTIFY_DOWNLOAD_INFO = 5,
    PATCH_NOTIFY_INSTALL_INFO = 6,
    PATCH_NOTIFY_REST_TIME = 7,
    PATCH_NOTIFY_STATUS = 8,
    PATCH_NOTIFY_VERSION = 9,
    PATCH_NOTIFY_LAST_VERSION = 10,
};

// Run status values carried by PATCH_NOTIFY_STATUS.
enum RunStatus : int {
    kStatusStartFailed = 0,
    kStatusRunBegan = 1,
    kStatusSessionOpen = 2,
    kStatusDownloading = 3,
    kStatusDownloadDone = 4,
    kStatusFinished = 5,
    kStatusCancelled = 6,
};

// Codes carried by PATCH_NOTIFY_ERROR_CODE besides 90001 and 90002.
inline constexpr int kErrorCodeDiskSpace = 1888;

struct DownloadInfo {
    std::int32_t type = 5;
    std::uint64_t doneSize = 0;
    std::uint64_t totalSize = 0;
    std::int32_t interval = 0;
    std::uint64_t speed = 0;
    std::uint64_t averageSpeed = 0;
};

struct StatusInfo {
    std::int32_t type = 6;
    std::uint64_t completeSize = 0;
    std::uint64_t totalSize = 0;
};

inline constexpr std::size_t kPatchCountSize = 64;

struct RestTimeInfo {
    std::int32_t minutes = 0;
    char patchCount[kPatchCountSize] = {};
};

// Version texts (at most 63 or 259 bytes) and error texts.
struct NotifyText {
    std::string text;
};

using NotifyPayload = std::variant<std::monostate, DownloadInfo, StatusInfo, RestTimeInfo, NotifyText>;

// One posted message: wParam, the int lParam of the value messages, and the
// record of the pointer messages (monostate where lParam would be 0).
struct Notification {
    int wParam = 0;
    int value = 0;
    NotifyPayload payload;
};

}  // namespace zanth
