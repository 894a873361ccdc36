#include "AnswerHeaders.h"

#include "ModuleKind.h"
#include "VersionCheckCodes.h"
#include "http/DecimalText.h"
#include "platform/ErrorStack.h"

namespace tavo {

namespace {

constexpr const char* kBoundaryMarker = "multipart/mixed; boundary=";
constexpr const char* kCisExceptionName = "CIS Exception";
constexpr int kStatusBadRequest = 400;

int statusClass(int code) { return code / 100; }

void readSuccessFields(const AnswerRules& rules, const HttpHeaders& headers, AnswerFields& fields) {
    std::string value;
    if (headers.find("X-Patch-Module", value)) fields.moduleKind = moduleKindFromName(value);
    if (rules.readsUniqueId && headers.find("X-Patch-Unique-Id", value)) fields.uniqueId = value;
    if (headers.find("Content-Type", value)) {
        const std::size_t at = value.find(kBoundaryMarker);
        if (at != std::string::npos) fields.boundary = value.substr(at + std::string(kBoundaryMarker).size());
    }
}

void pushServerErrorCodes(const AnswerRules& rules, const HttpHeaders& headers) {
    std::string value;
    if (headers.find("X-Patch-Error-Code", value)) pushError(leadingDecimalInt(value.data(), value.size()));
    if (rules.knowsCisException && headers.find("X-Patch-Error-Name", value) && value == kCisExceptionName)
        pushError(kErrCisException);
}

}  // namespace

bool readAnswerHeaders(const AnswerRules& rules, const HttpResponseStatus& status,
                       const HttpHeaders& headers, AnswerFields& fields) {
    fields.boundary.clear();
    const int code = status.statusCode();
    if (statusClass(code) == 2) {
        readSuccessFields(rules, headers, fields);
        return true;
    }
    pushError(code);
    if (code == kStatusBadRequest)
        pushError(kErrAnswerBadRequest);
    else if (statusClass(code) == 4)
        pushError(rules.clientErrorCode);
    else if (statusClass(code) == 5)
        pushServerErrorCodes(rules, headers);
    return false;
}

}  // namespace tavo
