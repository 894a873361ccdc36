// Windows HTTP service error numbers the client reports, and the table that
// turns libcurl's results into them.
#pragma once

#include <cstdint>

namespace tavo {

constexpr uint32_t kWinNotEnoughMemory = 8;
constexpr uint32_t kWinInvalidHandle = 6;
constexpr uint32_t kWinInvalidParameterHttp = 87;
constexpr uint32_t kWinInsufficientBuffer = 122;
constexpr uint32_t kWinHttpOutOfHandles = 12001;
constexpr uint32_t kWinHttpTimeout = 12002;
constexpr uint32_t kWinHttpInternalError = 12004;
constexpr uint32_t kWinHttpInvalidUrl = 12005;
constexpr uint32_t kWinHttpUnrecognizedScheme = 12006;
constexpr uint32_t kWinHttpNameNotResolved = 12007;
constexpr uint32_t kWinHttpOperationCancelled = 12017;
constexpr uint32_t kWinHttpIncorrectHandleType = 12018;
constexpr uint32_t kWinHttpIncorrectHandleState = 12019;
constexpr uint32_t kWinHttpCannotConnect = 12029;
constexpr uint32_t kWinHttpConnectionError = 12030;
constexpr uint32_t kWinHttpInvalidServerResponse = 12152;
constexpr uint32_t kWinHttpRedirectFailed = 12156;
constexpr uint32_t kWinHttpSecureFailure = 12175;

// libcurl result (CURLcode) -> Windows error number; 0 for success.
uint32_t win32FromCurlCode(int curlCode);

}  // namespace tavo
