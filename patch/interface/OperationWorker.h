// The operations a session runs: each kind (version check, download, install)
// sits behind one of these interfaces, so the exported functions only see them.
#pragma once

#include <string>

#include "tavoPatch.h"

namespace tavo {

class OperationWorker {
public:
    virtual ~OperationWorker() = default;
    virtual bool isBusy() = 0;
    virtual bool getResponse() = 0;
    virtual void cancel() = 0;
};

class VersionCheckWorker : public OperationWorker {
public:
    // Game kind: the session id; boot kind: an empty text.
    virtual bool begin(const std::string& startArgument) = 0;
};

class DownloadWorker : public OperationWorker {
public:
    virtual bool begin(const PatchElement& element) = 0;
    // Copies the live byte counters into the session's counters.
    virtual void updateProgress() = 0;
};

class InstallWorker {
public:
    virtual ~InstallWorker() = default;
    virtual bool start(const std::string& patchPath, const std::string& installDirectory) = 0;
    virtual bool isBusy() = 0;
    virtual void progress(InstallProgress& out) = 0;
    virtual void cancel() = 0;
    virtual bool getResponse() = 0;
};

}  // namespace tavo
