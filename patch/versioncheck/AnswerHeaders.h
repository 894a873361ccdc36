// Judges the headers of a version-check answer (on the pump thread).
#pragma once

#include <string>

#include "http/HttpHeaders.h"
#include "http/HttpResponseStatus.h"

namespace tavo {

struct AnswerRules {
    int clientErrorCode;    // a 4xx status other than 400
    bool readsUniqueId;     // "X-Patch-Unique-Id" on 2xx
    bool knowsCisException; // "X-Patch-Error-Name: CIS Exception" on 5xx
};

// What a 2xx answer says about the body that follows.
struct AnswerFields {
    std::string boundary;  // empty without "multipart/mixed; boundary="
    int moduleKind;
    std::string uniqueId;
};

// True for 2xx, with `fields` filled. Otherwise pushes the status, then the
// codes that explain it, and returns false (which ends the exchange).
bool readAnswerHeaders(const AnswerRules& rules, const HttpResponseStatus& status,
                       const HttpHeaders& headers, AnswerFields& fields);

}  // namespace tavo
