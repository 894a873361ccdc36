// One answer of the patch service: status, header fields and either a body
// text or a piece of an open file to stream.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "FileDescriptor.h"

namespace zanth::tools {

struct Response {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string body;
    FileDescriptor file;  // when valid: fileLength bytes from fileOffset follow the head
    uint64_t fileOffset = 0;
    uint64_t fileLength = 0;

    void add(std::string name, std::string value) { fields.emplace_back(std::move(name), std::move(value)); }
    uint64_t contentLength() const { return file.valid() ? fileLength : body.size(); }
};

// Reason phrase of the statuses the service answers with.
const char* reasonPhrase(int status);

// A plain-text answer (errors); 5xx answers carry "X-Patch-Error-Code".
Response textResponse(int status, const std::string& text);
Response serverError(int errorCode, const std::string& text);

// The status line and header fields, ending with the blank line.
std::string responseHead(const Response& response);

}  // namespace zanth::tools
