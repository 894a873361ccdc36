// Error codes pushed by the HTTP client.
#pragma once

namespace tavo {

constexpr int kErrHttpCancelled = 10001;          // cancel event processed
constexpr int kErrHttpNotClosed = 10002;          // open on a request that is not closed
constexpr int kErrHttpBadState = 10004;           // send / getResult in a state that forbids it
constexpr int kErrHttpEmptyHeaders = 10005;       // empty response header text
constexpr int kErrHttpBadStatusLine = 10006;      // status line cannot be parsed
constexpr int kErrHttpBadHeaderBlock = 10007;     // header block cannot be parsed
constexpr int kErrHttpNeverOpened = 10008;        // send / getResult before open
constexpr int kErrHttpAsyncFailed = 10009;        // pushed above the service's error number
constexpr int kErrHttpBadArguments = 10013;       // bad arguments to open or send
constexpr int kErrHttpSessionNotOpen = 10014;     // createRequest without an open session
constexpr int kErrHttpHandlerFailed = 10015;      // a handler returned false and pushed nothing
constexpr int kErrHttpNotSent = 10017;            // getResult on an opened, unsent request
constexpr int kErrHttpSessionAlreadyOpen = 10021; // open on an open session

}  // namespace tavo
