// Error codes pushed by the patch download.
#pragma once

namespace tavo {

constexpr int kErrPatchFileOpen = 20402;          // opening or re-creating the patch file
constexpr int kErrPatchDirectory = 20403;         // creating the patch directory
constexpr int kErrTokenBusy = 20471;              // a token request is still in flight
constexpr int kErrTokenNoRequest = 20472;
constexpr int kErrTokenOpenFailed = 20473;
constexpr int kErrTokenSendFailed = 20474;
constexpr int kErrTransferBusy = 20491;           // start or response while a transfer runs
constexpr int kErrTransferNoRequest = 20492;
constexpr int kErrTransferOpenFailed = 20493;
constexpr int kErrTransferSendFailed = 20494;
constexpr int kErrBlockMismatch = 20495;          // a block's SHA-1 differs from its hash
constexpr int kErrLengthMismatch = 20496;         // resume offset + Content-Length != patchSize
constexpr int kErrDownloadSilentFailure = 20501;  // a step failed without leaving a code
constexpr int kErrDownloadThreadStart = 20512;
constexpr int kErrTooManyHashes = 20520;          // more than 256 block hashes
constexpr int kErrBadHashText = 20521;            // a piece is not 40 hexadecimal digits
constexpr int kErrPartialBlockRead = 20524;       // re-reading the partial block came up short
constexpr int kErrPatchFileWrite = 20525;         // writing received data came up short

// Our own codes.
constexpr int kErrUnsafePatchName = 21010;        // file name or folder from the address is unsafe
constexpr int kErrBlockWithoutHash = 21011;       // the file has more blocks than hashes
constexpr int kErrZeroHashBlockSize = 21012;      // verification asked for with blocks of 0 bytes
constexpr int kErrBodyTooLong = 21013;            // more body bytes than Content-Length announced
constexpr int kErrTokenTooLong = 21014;           // the token answer is longer than an address can be

}  // namespace tavo
