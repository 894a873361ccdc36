// One JSON object per message on standard output, for automation.
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>

#include "core/RunTexts.h"
#include "update/Renderer.h"

namespace zanth {

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

const char* messageName(int wParam) {
    switch (wParam) {
    case PATCH_NOTIFY_ERROR_TEXT: return "error_text";
    case PATCH_NOTIFY_ERROR_CODE: return "error_code";
    case PATCH_NOTIFY_DOWNLOAD_POS: return "download_pos";
    case PATCH_NOTIFY_DOWNLOAD_INFO: return "download_info";
    case PATCH_NOTIFY_INSTALL_INFO: return "install_info";
    case PATCH_NOTIFY_REST_TIME: return "rest_time";
    case PATCH_NOTIFY_STATUS: return "status";
    case PATCH_NOTIFY_VERSION: return "version";
    case PATCH_NOTIFY_LAST_VERSION: return "last_version";
    default: return "unknown";
    }
}

void field(Writer& w, const char* name, std::uint64_t value) {
    w.Key(name);
    w.Uint64(value);
}

void field(Writer& w, const char* name, const std::string& value) {
    w.Key(name);
    w.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
}

struct PayloadFields {
    Writer& w;
    void operator()(std::monostate) const {}
    void operator()(const DownloadInfo& d) const {
        field(w, "done", d.doneSize);
        field(w, "total", d.totalSize);
        w.Key("interval");
        w.Int(d.interval);
        field(w, "speed", d.speed);
        field(w, "average_speed", d.averageSpeed);
    }
    void operator()(const StatusInfo& s) const {
        field(w, "complete", s.completeSize);
        field(w, "total", s.totalSize);
    }
    void operator()(const RestTimeInfo& r) const {
        w.Key("minutes");
        w.Int(r.minutes);
        field(w, "patch_count", std::string(r.patchCount));
    }
    void operator()(const NotifyText& t) const { field(w, "text", t.text); }
};

class JsonRenderer final : public Renderer {
public:
    void render(const Notification& message) override {
        rapidjson::StringBuffer buffer;
        Writer w(buffer);
        w.StartObject();
        field(w, "message", std::string(messageName(message.wParam)));
        w.Key("wparam");
        w.Int(message.wParam);
        w.Key("value");
        w.Int(message.value);
        std::visit(PayloadFields{w}, message.payload);
        if (message.wParam == PATCH_NOTIFY_ERROR_CODE) {
            if (const char* text = errorCodeMessage(message.value)) field(w, "text", std::string(text));
        }
        w.EndObject();
        emit(buffer);
    }

    void note(const char* kind, const std::string& text) override {
        rapidjson::StringBuffer buffer;
        Writer w(buffer);
        w.StartObject();
        field(w, "message", std::string(kind));
        field(w, "text", text);
        w.EndObject();
        emit(buffer);
    }

private:
    static void emit(const rapidjson::StringBuffer& buffer) {
        std::fputs(buffer.GetString(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
};

}  // namespace

std::unique_ptr<Renderer> makeJsonRenderer() { return std::make_unique<JsonRenderer>(); }

}  // namespace zanth
