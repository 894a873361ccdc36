#include "BootPatchDownloader.h"

namespace tavo {

bool BootPatchDownloader::begin(const PatchElement&) {
    const DownloadParams& params = kind_.download;
    return transfer_.begin(params.patchUrl, std::string(), params.downloadDirectory, false, nullptr);
}

bool BootPatchDownloader::getResponse() {
    bool ok = false;
    std::string path;
    const bool succeeded = transfer_.getResponse(ok, path);
    kind_.download.ok = succeeded && ok;
    if (kind_.download.ok) kind_.download.resultPath = path;
    return kind_.download.ok;
}

}  // namespace tavo
