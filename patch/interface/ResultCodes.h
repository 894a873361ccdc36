// Result codes of the exported functions and the library's own detail codes
// of the interface layer.
#pragma once

#include "tavoPatch.h"

namespace tavo {

constexpr int kResultOk = TAVOPATCH_OK;
constexpr int kResultFailed = TAVOPATCH_FAILED;
constexpr int kResultBadDownloadDir = TAVOPATCH_BAD_DOWNLOAD_DIR;
constexpr int kResultBadUtf8 = TAVOPATCH_BAD_UTF8;
constexpr int kResultBadRepository = TAVOPATCH_BAD_REPOSITORY;
constexpr int kResultBufferTooSmall = TAVOPATCH_BUFFER_TOO_SMALL;
constexpr int kResultNoVersionFile = TAVOPATCH_NO_VERSION_FILE;
constexpr int kResultBadVersionDir = TAVOPATCH_BAD_VERSION_DIR;

// A patch-list text does not fit its PatchElement field.
constexpr int kErrElementFieldTooLong = 21002;
// The caller's buffer cannot hold the downloaded patch file's path.
constexpr int kErrPathBufferTooSmall = 21003;

}  // namespace tavo
