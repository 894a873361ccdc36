// The boot kind's download: the element's address fetched directly, without
// thread, token, resume or verification.
#pragma once

#include "PatchFileDownload.h"
#include "interface/OperationWorker.h"
#include "interface/PatchSession.h"

namespace tavo {

class BootPatchDownloader : public DownloadWorker {
public:
    BootPatchDownloader(HttpSession* http, KindState& state) : kind_(state), transfer_(http) {}

    bool begin(const PatchElement& element) override;
    bool isBusy() override { return transfer_.isBusy(); }
    bool getResponse() override;
    void cancel() override { transfer_.cancel(); }
    void updateProgress() override { kind_.download.progress = transfer_.progress(); }

private:
    KindState& kind_;
    PatchFileDownload transfer_;
};

}  // namespace tavo
