// A stand-in patch library for the binding tests: every export of the real
// one, except tavoPatchGetVersionName when OMIT_GET_VERSION_NAME is defined.
#include "tavoPatch.h"

extern "C" {
TAVOPATCH_API const char* tavoPatchGetVersion(void) { return "fake"; }
TAVOPATCH_API int tavoPatchInitialize(const char*, const char*) { return -1; }
TAVOPATCH_API int tavoPatchVersionCheckStart(int, const char*, int, const char*, const char*, const char*,
                                             const char*) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchVersionCheckIsBusy(int) { return 0; }
TAVOPATCH_API int tavoPatchVersionCheckCancel(int) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchVersionCheckGetResponse(int) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchGetNumOfPatch(int) { return 0; }
TAVOPATCH_API int tavoPatchGetPatchElement(int, PatchElement*, int) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchDownloadStart(int, const PatchElement*, const char*) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchDownloadIsBusy(int, DownloadProgress*) { return 0; }
TAVOPATCH_API int tavoPatchDownloadCancel(int) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchDownloadGetResponse(int, char*, int) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchInstallStart(int, const char*, const char*) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchInstallIsBusy(int, InstallProgress*) { return 0; }
TAVOPATCH_API int tavoPatchInstallCancel(int) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchInstallGetResponse(int) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchFinalize(int) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchGetErrorCodes(int*, int) { return 0; }
TAVOPATCH_API int tavoPatchGetFileHashString(const char*, char*, int) { return TAVOPATCH_FAILED; }
TAVOPATCH_API int tavoPatchSetVersionName(const char*, const char*, const char*) { return TAVOPATCH_FAILED; }
#ifndef OMIT_GET_VERSION_NAME
TAVOPATCH_API int tavoPatchGetVersionName(const char*, const char*, char*, unsigned) { return TAVOPATCH_FAILED; }
#endif
}
