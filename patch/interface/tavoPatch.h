/* tavoPatch: version check, resumable verified download and installation of
 * game patches. Plain C interface; every text is zero-terminated UTF-8. */
#ifndef TAVOPATCH_H
#define TAVOPATCH_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define TAVOPATCH_API __declspec(dllexport)
#else
#define TAVOPATCH_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
#define TAVOPATCH_OK 0
#define TAVOPATCH_FAILED 90000
#define TAVOPATCH_BAD_DOWNLOAD_DIR 90001
#define TAVOPATCH_BAD_UTF8 90002
#define TAVOPATCH_BAD_REPOSITORY 90003
#define TAVOPATCH_BUFFER_TOO_SMALL 90004
#define TAVOPATCH_NO_VERSION_FILE 90005
#define TAVOPATCH_BAD_VERSION_DIR 90006

typedef struct PatchElement {
    uint64_t patchSize;
    uint64_t installFileSize;
    uint64_t extra1;
    uint64_t extra2;
    uint64_t hashBlockSize;
    char version[64];
    char extraText[64];
    char url[512];
    char hashes[4096];
} PatchElement;

typedef struct DownloadProgress {
    uint64_t already;
    uint64_t size;
    uint64_t total;
} DownloadProgress;

typedef struct InstallProgress {
    uint64_t completeSize;
    uint64_t totalSize;
} InstallProgress;

#ifdef __cplusplus
static_assert(sizeof(PatchElement) == 4776, "PatchElement layout");
static_assert(offsetof(PatchElement, installFileSize) == 8, "PatchElement layout");
static_assert(offsetof(PatchElement, extra1) == 16, "PatchElement layout");
static_assert(offsetof(PatchElement, extra2) == 24, "PatchElement layout");
static_assert(offsetof(PatchElement, hashBlockSize) == 32, "PatchElement layout");
static_assert(offsetof(PatchElement, version) == 40, "PatchElement layout");
static_assert(offsetof(PatchElement, extraText) == 104, "PatchElement layout");
static_assert(offsetof(PatchElement, url) == 168, "PatchElement layout");
static_assert(offsetof(PatchElement, hashes) == 680, "PatchElement layout");
static_assert(sizeof(DownloadProgress) == 24, "DownloadProgress layout");
static_assert(offsetof(DownloadProgress, size) == 8, "DownloadProgress layout");
static_assert(offsetof(DownloadProgress, total) == 16, "DownloadProgress layout");
static_assert(sizeof(InstallProgress) == 16, "InstallProgress layout");
static_assert(offsetof(InstallProgress, totalSize) == 8, "InstallProgress layout");
#else
_Static_assert(sizeof(PatchElement) == 4776, "PatchElement layout");
_Static_assert(sizeof(DownloadProgress) == 24, "DownloadProgress layout");
_Static_assert(sizeof(InstallProgress) == 16, "InstallProgress layout");
#endif

TAVOPATCH_API const char* tavoPatchGetVersion(void);
TAVOPATCH_API int tavoPatchInitialize(const char* repository, const char* sessionParams);
TAVOPATCH_API int tavoPatchVersionCheckStart(int handle, const char* server, int port,
                                             const char* scheme, const char* platform,
                                             const char* repository, const char* currentVersion);
TAVOPATCH_API int tavoPatchVersionCheckIsBusy(int handle);
TAVOPATCH_API int tavoPatchVersionCheckCancel(int handle);
TAVOPATCH_API int tavoPatchVersionCheckGetResponse(int handle);
TAVOPATCH_API int tavoPatchGetNumOfPatch(int handle);
TAVOPATCH_API int tavoPatchGetPatchElement(int handle, PatchElement* element, int index);
TAVOPATCH_API int tavoPatchDownloadStart(int handle, const PatchElement* element,
                                         const char* downloadDir);
TAVOPATCH_API int tavoPatchDownloadIsBusy(int handle, DownloadProgress* progress);
TAVOPATCH_API int tavoPatchDownloadCancel(int handle);
TAVOPATCH_API int tavoPatchDownloadGetResponse(int handle, char* path, int pathSize);
TAVOPATCH_API int tavoPatchInstallStart(int handle, const char* installDir,
                                        const char* patchFilePath);
TAVOPATCH_API int tavoPatchInstallIsBusy(int handle, InstallProgress* progress);
TAVOPATCH_API int tavoPatchInstallCancel(int handle);
TAVOPATCH_API int tavoPatchInstallGetResponse(int handle);
TAVOPATCH_API int tavoPatchFinalize(int handle);
TAVOPATCH_API int tavoPatchGetErrorCodes(int* codes, int capacity);
TAVOPATCH_API int tavoPatchGetFileHashString(const char* path, char* out, int outSize);
TAVOPATCH_API int tavoPatchSetVersionName(const char* directory, const char* repository,
                                          const char* version);
TAVOPATCH_API int tavoPatchGetVersionName(const char* directory, const char* repository,
                                          char* out, unsigned outSize);

#ifdef __cplusplus
}
#endif

#endif /* TAVOPATCH_H */
