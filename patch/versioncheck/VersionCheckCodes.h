// Error codes pushed by the version check.
#pragma once

namespace tavo {

constexpr int kErrAnswerBadRequest = 20401;        // status 400
constexpr int kErrBootRequestBusy = 20441;         // in flight, or no request at getResponse
constexpr int kErrBootNoRequest = 20442;           // no request could be created
constexpr int kErrBootOpenFailed = 20443;          // opening the request failed
constexpr int kErrBootSendFailed = 20444;          // sending the request failed
constexpr int kErrBootClientError = 20446;         // a 4xx status other than 400
constexpr int kErrBootParseFailed = 20447;         // the response body does not parse
constexpr int kErrBootTimeout = 20448;             // the request timed out
constexpr int kErrGameRequestBusy = 20451;
constexpr int kErrGameNoRequest = 20452;
constexpr int kErrGameOpenFailed = 20453;
constexpr int kErrGameSendFailed = 20454;
constexpr int kErrCisException = 20455;            // 5xx named "CIS Exception"
constexpr int kErrGameClientError = 20457;
constexpr int kErrGameParseFailed = 20458;
constexpr int kErrGameTimeout = 20459;
constexpr int kErrGameCisFailure = 20462;          // replaces the top code when 20455 is there
constexpr int kErrBootNoBoundary = 20526;          // body present but no multipart boundary

// Our own: the answer body grew past kMaxAnswerBodyBytes.
constexpr int kErrAnswerBodyTooLarge = 21040;

}  // namespace tavo
