#include "Response.h"

namespace zanth::tools {

namespace {

struct Reason {
    int status;
    const char* text;
};

constexpr Reason kReasons[] = {
    {100, "Continue"},
    {200, "OK"},
    {206, "Partial Content"},
    {400, "Bad Request"},
    {403, "Forbidden"},
    {404, "Not Found"},
    {405, "Method Not Allowed"},
    {408, "Request Timeout"},
    {413, "Content Too Large"},
    {416, "Range Not Satisfiable"},
    {431, "Request Header Fields Too Large"},
    {500, "Internal Server Error"},
    {503, "Service Unavailable"},
};

}  // namespace

const char* reasonPhrase(int status)
{
    for (const Reason& r : kReasons)
        if (r.status == status)
            return r.text;
    return "Unknown";
}

Response textResponse(int status, const std::string& text)
{
    Response r;
    r.status = status;
    r.add("Content-Type", "text/plain");
    r.body = text + "\n";
    return r;
}

Response serverError(int errorCode, const std::string& text)
{
    Response r = textResponse(500, text);
    r.add("X-Patch-Error-Code", std::to_string(errorCode));
    return r;
}

std::string responseHead(const Response& response)
{
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + reasonPhrase(response.status) + "\r\n";
    for (const auto& [name, value] : response.fields)
        head += name + ": " + value + "\r\n";
    head += "Content-Length: " + std::to_string(response.contentLength()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

}  // namespace zanth::tools
