// One request handle of the libcurl service: the easy handle's set-up, the
// callbacks that collect the answer, and the completions of the client's calls.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "CurlService.h"
#include "HttpTimeouts.h"
#include "ServiceErrors.h"

namespace tavo {

namespace {

// Body bytes held per request before the transfer is paused, and the level at
// which it resumes. The pause keeps a slow consumer from buffering a whole file.
constexpr std::size_t kPauseAbove = 4 * 1024 * 1024;
constexpr std::size_t kResumeBelow = 1024 * 1024;
constexpr long kReceiveChunk = 256 * 1024;
constexpr long kMaxRedirects = 10;

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// Statuses libcurl follows on its own when a Location is given.
bool isFollowedRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

int statusOfLine(std::string_view line) {
    std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return 0;
    int code = 0;
    for (std::size_t i = space + 1; i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])); ++i)
        code = code * 10 + (line[i] - '0');
    return code;
}

// libcurl reads "Name:" with nothing after the colon as "remove the header";
// "Name;" is its way to send the header with an empty value.
std::string curlHeaderLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::string(line);
    if (line.find_first_not_of(" \t", colon + 1) != std::string_view::npos) return std::string(line);
    return std::string(line.substr(0, colon)) + ";";
}

// Header names libcurl adds by itself that the client does not send.
constexpr const char* kSuppressedHeaders[] = {"Accept", "Expect"};

}  // namespace

ServiceRequest::ServiceRequest(ServiceCore& core, const std::string& host, uint16_t port,
                               const std::string& verb, const std::string& path, bool secure)
    : HttpServiceHandle(Kind::Request),
      core_(core), host_(host), port_(port), verb_(verb), path_(path), secure_(secure),
      easy_(curl_easy_init()) {}

ServiceRequest::~ServiceRequest() {
    if (easy_) curl_easy_cleanup(easy_);
    curl_slist_free_all(headerList_);
}

void ServiceRequest::setCallback(HttpStatusCallback callback, uint32_t mask) {
    mask_.store(mask);
    callback_.store(callback);
}

bool ServiceRequest::send(const char* headers, const void* data, uint32_t length,
                          uint32_t totalLength, uintptr_t context) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (sendStarted_) {
            setServiceError(kWinHttpIncorrectHandleState);
            return false;
        }
        // The whole body comes with the send: there is no later write call.
        if (totalLength != length || (length > 0 && !data)) {
            setServiceError(kWinInvalidParameterHttp);
            return false;
        }
        body_.assign(static_cast<const char*>(data), length);
        if (!configure(headers, totalLength)) {
            setServiceError(kWinHttpInternalError);
            return false;
        }
        context_.store(context);
        sendStarted_ = true;
        sendPending_ = true;
        noteProgress();
    }
    core_.post(ServiceCore::CommandKind::Start, this);
    return true;
}

bool ServiceRequest::configure(const char* headers, uint32_t totalLength) {
    std::string url = secure_ ? "https://" : "http://";
    url += host_;
    if (port_ != 0) {
        url += ':';
        url += std::to_string(port_);
    }
    if (path_.empty() || path_[0] != '/') url += '/';
    url += path_;

    const HttpTimeouts timeouts = currentHttpTimeouts();
    bool ok = true;
    auto set = [&](CURLoption option, auto value) { ok = ok && curl_easy_setopt(easy_, option, value) == CURLE_OK; };
    set(CURLOPT_URL, url.c_str());
    set(CURLOPT_PRIVATE, static_cast<void*>(this));
    set(CURLOPT_NOSIGNAL, 1L);
    // An empty proxy disables proxies, environment variables included.
    set(CURLOPT_PROXY, "");
    set(CURLOPT_NOPROXY, "*");
    set(CURLOPT_USERAGENT, core_.userAgent().c_str());
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);
    set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connectMs));
    set(CURLOPT_BUFFERSIZE, kReceiveChunk);
    set(CURLOPT_HEADERFUNCTION, &ServiceRequest::headerCallback);
    set(CURLOPT_HEADERDATA, static_cast<void*>(this));
    set(CURLOPT_WRITEFUNCTION, &ServiceRequest::writeCallback);
    set(CURLOPT_WRITEDATA, static_cast<void*>(this));
    set(CURLOPT_PREREQFUNCTION, &ServiceRequest::prereqCallback);
    set(CURLOPT_PREREQDATA, static_cast<void*>(this));
    if (secure_) {
        const uint32_t flags = securityFlags_.load();
        const bool ignoreChain = (flags & (kHttpSecurityIgnoreUnknownCa | kHttpSecurityIgnoreCertDate)) != 0;
        set(CURLOPT_SSL_VERIFYPEER, ignoreChain ? 0L : 1L);
        set(CURLOPT_SSL_VERIFYHOST, (flags & kHttpSecurityIgnoreCertName) ? 0L : 2L);
    }

    const bool hasBody = totalLength > 0;
    bool wantsContentType = false;
    if (verb_ == "GET" && !hasBody) {
        set(CURLOPT_HTTPGET, 1L);
    } else if (verb_ == "HEAD" && !hasBody) {
        set(CURLOPT_NOBODY, 1L);
    } else if (verb_ == "POST" || hasBody) {
        set(CURLOPT_POST, 1L);
        set(CURLOPT_POSTFIELDS, body_.data());
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
        if (verb_ != "POST") set(CURLOPT_CUSTOMREQUEST, verb_.c_str());
        wantsContentType = true;
    } else {
        set(CURLOPT_CUSTOMREQUEST, verb_.c_str());
    }

    // The caller's header lines, then removers for what libcurl would add.
    std::string_view text = headers ? headers : "";
    bool given[std::size(kSuppressedHeaders)] = {};
    bool givenContentType = false;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
        if (line.empty()) continue;
        for (std::size_t i = 0; i < std::size(kSuppressedHeaders); ++i)
            if (startsWithNoCase(line, std::string(kSuppressedHeaders[i]) + ":")) given[i] = true;
        if (startsWithNoCase(line, "Content-Type:")) givenContentType = true;
        curl_slist* grown = curl_slist_append(headerList_, curlHeaderLine(line).c_str());
        if (!grown) return false;
        headerList_ = grown;
    }
    std::vector<std::string> removers;
    for (std::size_t i = 0; i < std::size(kSuppressedHeaders); ++i)
        if (!given[i]) removers.push_back(std::string(kSuppressedHeaders[i]) + ":");
    if (wantsContentType && !givenContentType) removers.push_back("Content-Type:");
    for (const std::string& remover : removers) {
        curl_slist* grown = curl_slist_append(headerList_, remover.c_str());
        if (!grown) return false;
        headerList_ = grown;
    }
    set(CURLOPT_HTTPHEADER, headerList_);
    return ok;
}

bool ServiceRequest::receiveResponse() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!sendStarted_ || receivePending_) {
            setServiceError(kWinHttpIncorrectHandleState);
            return false;
        }
        receivePending_ = true;
    }
    deliver();
    return true;
}

bool ServiceRequest::queryRawHeaders(char* buffer, uint32_t* length) {
    if (!length) {
        setServiceError(kWinInvalidParameterHttp);
        return false;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    if (!headersReady_) {
        setServiceError(kWinHttpIncorrectHandleState);
        return false;
    }
    const uint32_t needed = static_cast<uint32_t>(rawHeaders_.size() + 1);
    if (!buffer || *length < needed) {
        *length = needed;
        setServiceError(kWinInsufficientBuffer);
        return false;
    }
    std::memcpy(buffer, rawHeaders_.data(), rawHeaders_.size());
    buffer[rawHeaders_.size()] = '\0';
    *length = static_cast<uint32_t>(rawHeaders_.size());
    return true;
}

bool ServiceRequest::queryDataAvailable() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!headersReady_ || dataPending_ || readPending_) {
            setServiceError(kWinHttpIncorrectHandleState);
            return false;
        }
        dataPending_ = true;
    }
    deliver();
    return true;
}

bool ServiceRequest::readData(void* buffer, uint32_t length) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!headersReady_ || dataPending_ || readPending_ || (!buffer && length > 0)) {
            setServiceError(kWinHttpIncorrectHandleState);
            return false;
        }
        readPending_ = true;
        readBuffer_ = static_cast<char*>(buffer);
        readLength_ = length;
    }
    deliver();
    return true;
}

bool ServiceRequest::nextNotification(Notification& out) {
    auto failWith = [&](uint32_t operation) {
        out.status = kHttpNotifyRequestError;
        out.result = {operation, doneError_ ? doneError_ : kWinHttpInvalidServerResponse};
        return true;
    };
    if (sendPending_) {
        if (!requestSent_ && !done_) return false;
        sendPending_ = false;
        if (requestSent_) {
            out.status = kHttpNotifySendRequestComplete;
            return true;
        }
        return failWith(kHttpApiSendRequest);
    }
    if (receivePending_) {
        if (!headersReady_ && !done_) return false;
        receivePending_ = false;
        if (headersReady_) {
            out.status = kHttpNotifyHeadersAvailable;
            return true;
        }
        return failWith(kHttpApiReceiveResponse);
    }
    if (dataPending_) {
        if (fifo_.empty() && !done_) return false;
        dataPending_ = false;
        if (fifo_.empty() && doneError_) return failWith(kHttpApiQueryDataAvailable);
        out.status = kHttpNotifyDataAvailable;
        out.count = static_cast<uint32_t>(std::min<std::size_t>(fifo_.size(), UINT32_MAX));
        return true;
    }
    if (readPending_) {
        if (fifo_.empty() && !done_) return false;
        readPending_ = false;
        if (fifo_.empty() && doneError_) return failWith(kHttpApiReadData);
        out.status = kHttpNotifyReadComplete;
        out.buffer = readBuffer_;
        out.count = static_cast<uint32_t>(fifo_.take(readBuffer_, readLength_));
        if (pausedByUs_ && !resumePosted_ && fifo_.size() <= kResumeBelow) {
            resumePosted_ = true;
            out.resume = true;
        }
        return true;
    }
    return false;
}

void ServiceRequest::fire(Notification& n) {
    if (n.resume) core_.post(ServiceCore::CommandKind::Resume, this);
    HttpStatusCallback callback = callback_.load();
    if (!callback || !(mask_.load() & n.status)) return;
    void* info = nullptr;
    uint32_t infoLength = 0;
    if (n.status == kHttpNotifyDataAvailable) {
        info = &n.count;
        infoLength = sizeof n.count;
    } else if (n.status == kHttpNotifyReadComplete) {
        info = n.buffer;
        infoLength = n.count;
    } else if (n.status == kHttpNotifyRequestError) {
        info = &n.result;
        infoLength = sizeof n.result;
    }
    callback(this, context_.load(), n.status, info, infoLength);
}

void ServiceRequest::deliver() {
    for (;;) {
        Notification n;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (!nextNotification(n)) return;
        }
        fire(n);
    }
}

void ServiceRequest::notifyClosing() {
    HttpStatusCallback callback = callback_.load();
    if (!callback || !(mask_.load() & kHttpNotifyHandleClosing)) return;
    HttpHandle self = this;
    callback(self, context_.load(), kHttpNotifyHandleClosing, &self, sizeof self);
}

void ServiceRequest::noteProgress() { lastProgressMs_ = serviceNowMs(); }

void ServiceRequest::finished(CURLcode result) {
    std::lock_guard<std::mutex> guard(mutex_);
    done_ = true;
    doneError_ = win32FromCurlCode(result);
    if (doneError_ == 0) {
        requestSent_ = true;
        if (!headersReady_ && !lastBlock_.empty()) {
            rawHeaders_ = lastBlock_;
            headersReady_ = true;
        }
        if (!headersReady_) doneError_ = kWinHttpInvalidServerResponse;
    }
}

bool ServiceRequest::checkTimeout(int64_t nowMs, uint32_t noProgressMs) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (done_ || pausedByUs_ || !connected_) return false;
    return nowMs - lastProgressMs_ > static_cast<int64_t>(noProgressMs);
}

void ServiceRequest::resume() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        resumePosted_ = false;
        if (done_ || !pausedByUs_) return;
        pausedByUs_ = false;
        noteProgress();
    }
    curl_easy_pause(easy_, CURLPAUSE_CONT);
}

void ServiceRequest::onHeaderLine(const char* data, std::size_t length) {
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    std::lock_guard<std::mutex> guard(mutex_);
    noteProgress();
    // Trailers of a chunked body come here too; the final headers are fixed.
    if (headersReady_) return;
    if (line.substr(0, 5) == "HTTP/") {
        collecting_.assign(line);
        collecting_ += "\r\n";
        collectingStatus_ = statusOfLine(line);
        collectingHasLocation_ = false;
        return;
    }
    if (collecting_.empty()) return;
    if (!line.empty()) {
        if (startsWithNoCase(line, "Location:") && line.size() > std::strlen("Location:"))
            collectingHasLocation_ = true;
        collecting_.append(line);
        collecting_ += "\r\n";
        return;
    }
    collecting_ += "\r\n";
    lastBlock_ = collecting_;
    const bool interim = collectingStatus_ / 100 == 1;
    const bool followed = isFollowedRedirect(collectingStatus_) && collectingHasLocation_;
    if (!interim && !followed) {
        rawHeaders_.swap(collecting_);
        headersReady_ = true;
        core_.markDirty(this);
    }
    collecting_.clear();
}

size_t ServiceRequest::onBody(const char* data, std::size_t length) {
    std::lock_guard<std::mutex> guard(mutex_);
    // The body of an interim or followed answer is not the response's.
    if (!headersReady_) return length;
    noteProgress();
    if (fifo_.size() >= kPauseAbove) {
        pausedByUs_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    fifo_.append(data, length);
    if (dataPending_ || readPending_) core_.markDirty(this);
    return length;
}

size_t ServiceRequest::headerCallback(char* data, size_t size, size_t count, void* self) {
    static_cast<ServiceRequest*>(self)->onHeaderLine(data, size * count);
    return size * count;
}

size_t ServiceRequest::writeCallback(char* data, size_t size, size_t count, void* self) {
    return static_cast<ServiceRequest*>(self)->onBody(data, size * count);
}

int ServiceRequest::prereqCallback(void* self, char*, char*, int, int) {
    auto* request = static_cast<ServiceRequest*>(self);
    std::lock_guard<std::mutex> guard(request->mutex_);
    request->connected_ = true;
    request->requestSent_ = true;
    request->noteProgress();
    request->core_.markDirty(request);
    return CURL_PREREQFUNC_OK;
}

}  // namespace tavo
