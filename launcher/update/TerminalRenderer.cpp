// Progress bar, figures and outcome lines for a person at a terminal.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/RunTexts.h"
#include "update/Renderer.h"

namespace zanth {

namespace {

constexpr int kBarWidth = 24;
constexpr double kMebibyte = 1024.0 * 1024.0;

std::string bar(int percent) {
    const int filled = percent * kBarWidth / 100;
    std::string text(1, '[');
    text.append(filled, '#');
    text.append(kBarWidth - filled, '-');
    text += ']';
    return text;
}

int percentOf(std::uint64_t done, std::uint64_t total) {
    if (total == 0) return 0;
    const double p = static_cast<double>(done) / static_cast<double>(total) * 100.0;
    return p >= 100.0 ? 100 : static_cast<int>(p);
}

class TerminalRenderer final : public Renderer {
public:
    TerminalRenderer() : tty_(isatty(STDOUT_FILENO) != 0) {}

    void render(const Notification& m) override {
        switch (m.wParam) {
        case PATCH_NOTIFY_DOWNLOAD_INFO: downloadInfo(std::get_if<DownloadInfo>(&m.payload)); break;
        case PATCH_NOTIFY_INSTALL_INFO: installInfo(std::get_if<StatusInfo>(&m.payload)); break;
        case PATCH_NOTIFY_REST_TIME: restTime(std::get_if<RestTimeInfo>(&m.payload)); break;
        case PATCH_NOTIFY_STATUS: status(m.value); break;
        case PATCH_NOTIFY_ERROR_CODE: errorCode(m.value); break;
        case PATCH_NOTIFY_ERROR_TEXT: errorText(std::get_if<NotifyText>(&m.payload)); break;
        case PATCH_NOTIFY_VERSION: line("version reached: " + textOf(m)); break;
        case PATCH_NOTIFY_LAST_VERSION: line("newest version: " + textOf(m)); break;
        default: break;  // the percentage alone adds nothing to the bar
        }
    }

    void note(const char* kind, const std::string& text) override { line(std::string(kind) + ": " + text); }

private:
    static std::string textOf(const Notification& m) {
        const auto* t = std::get_if<NotifyText>(&m.payload);
        return t != nullptr ? t->text : std::string();
    }

    void downloadInfo(const DownloadInfo* d) {
        if (d == nullptr || d->totalSize == 0) return;
        char text[256] = {};
        std::snprintf(text, sizeof text, "%s %s %3d%%  %.2f/%.2f MiB  %.2f MiB/s  ~%d min", counter_.c_str(),
                      bar(percentOf(d->doneSize, d->totalSize)).c_str(), percentOf(d->doneSize, d->totalSize),
                      static_cast<double>(d->doneSize) / kMebibyte, static_cast<double>(d->totalSize) / kMebibyte,
                      static_cast<double>(d->averageSpeed) / kMebibyte, minutes_);
        progress(text);
    }

    void installInfo(const StatusInfo* s) {
        if (s == nullptr || s->totalSize == 0) return;
        const int percent = percentOf(s->completeSize, s->totalSize);
        char text[256] = {};
        std::snprintf(text, sizeof text, "%s installing %s %3d%%  %llu/%llu bytes", counter_.c_str(),
                      bar(percent).c_str(), percent, static_cast<unsigned long long>(s->completeSize),
                      static_cast<unsigned long long>(s->totalSize));
        progress(text);
    }

    void restTime(const RestTimeInfo* r) {
        if (r == nullptr) return;
        counter_ = r->patchCount;
        minutes_ = r->minutes;
    }

    void status(int value) {
        switch (value) {
        case kStatusDownloadDone: progress(counter_ + " download complete"); break;
        case kStatusFinished: line("update finished"); break;
        case kStatusCancelled: line("update cancelled"); break;
        case kStatusStartFailed: line(kPatchFailureText); break;
        default: break;
        }
    }

    void errorCode(int code) {
        const char* text = errorCodeMessage(code);
        line(std::string("warning: ") + (text != nullptr ? text : "") + " (" + std::to_string(code) + ")");
    }

    void errorText(const NotifyText* t) {
        line("update failed");
        line(t != nullptr ? patchFailureWithErrorText(t->text) : std::string(kPatchFailureText));
    }

    // Rewrites the current line on a terminal, one line per figure elsewhere.
    void progress(const std::string& text) {
        if (tty_) {
            std::printf("\r%-100s", text.c_str());
            open_ = true;
        } else {
            std::printf("%s\n", text.c_str());
        }
        std::fflush(stdout);
    }

    void line(const std::string& text) {
        if (open_) std::printf("\n");
        open_ = false;
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }

    bool tty_;
    bool open_ = false;
    std::string counter_ = "000/000";
    int minutes_ = 1;
};

}  // namespace

std::unique_ptr<Renderer> makeTerminalRenderer() { return std::make_unique<TerminalRenderer>(); }

}  // namespace zanth
