#include "ServiceErrors.h"

#include <curl/curl.h>

namespace tavo {

namespace {

struct CurlErrorRow {
    CURLcode curl;
    uint32_t win32;
};

// Every libcurl result an HTTP(S) transfer of ours can end with. Anything not
// listed is an internal failure (12004).
constexpr CurlErrorRow kCurlErrors[] = {
    {CURLE_OK, 0},
    // Only a reply without a status line (HTTP/0.9) or a redirect to another
    // scheme give this for our own http/https URLs.
    {CURLE_UNSUPPORTED_PROTOCOL, kWinHttpInvalidServerResponse},
    {CURLE_FAILED_INIT, kWinHttpInternalError},
    {CURLE_URL_MALFORMAT, kWinHttpInvalidUrl},
    {CURLE_NOT_BUILT_IN, kWinHttpUnrecognizedScheme},
    {CURLE_COULDNT_RESOLVE_PROXY, kWinHttpNameNotResolved},
    {CURLE_COULDNT_RESOLVE_HOST, kWinHttpNameNotResolved},
    {CURLE_COULDNT_CONNECT, kWinHttpCannotConnect},
    {CURLE_WEIRD_SERVER_REPLY, kWinHttpInvalidServerResponse},
    {CURLE_HTTP2, kWinHttpInvalidServerResponse},
    {CURLE_PARTIAL_FILE, kWinHttpConnectionError},
    {CURLE_WRITE_ERROR, kWinHttpInternalError},
    {CURLE_UPLOAD_FAILED, kWinHttpConnectionError},
    {CURLE_READ_ERROR, kWinHttpInternalError},
    {CURLE_OUT_OF_MEMORY, kWinNotEnoughMemory},
    {CURLE_OPERATION_TIMEDOUT, kWinHttpTimeout},
    {CURLE_RANGE_ERROR, kWinHttpInvalidServerResponse},
    {CURLE_SSL_CONNECT_ERROR, kWinHttpSecureFailure},
    {CURLE_ABORTED_BY_CALLBACK, kWinHttpOperationCancelled},
    {CURLE_BAD_FUNCTION_ARGUMENT, kWinHttpInternalError},
    {CURLE_INTERFACE_FAILED, kWinHttpCannotConnect},
    {CURLE_TOO_MANY_REDIRECTS, kWinHttpRedirectFailed},
    {CURLE_UNKNOWN_OPTION, kWinHttpInternalError},
    {CURLE_GOT_NOTHING, kWinHttpConnectionError},
    {CURLE_SSL_ENGINE_NOTFOUND, kWinHttpSecureFailure},
    {CURLE_SSL_ENGINE_SETFAILED, kWinHttpSecureFailure},
    {CURLE_SEND_ERROR, kWinHttpConnectionError},
    {CURLE_RECV_ERROR, kWinHttpConnectionError},
    {CURLE_SSL_CERTPROBLEM, kWinHttpSecureFailure},
    {CURLE_SSL_CIPHER, kWinHttpSecureFailure},
    {CURLE_PEER_FAILED_VERIFICATION, kWinHttpSecureFailure},
    {CURLE_BAD_CONTENT_ENCODING, kWinHttpInvalidServerResponse},
    {CURLE_USE_SSL_FAILED, kWinHttpSecureFailure},
    {CURLE_SEND_FAIL_REWIND, kWinHttpConnectionError},
    {CURLE_SSL_ENGINE_INITFAILED, kWinHttpSecureFailure},
    {CURLE_SSL_CACERT_BADFILE, kWinHttpSecureFailure},
    {CURLE_SSL_SHUTDOWN_FAILED, kWinHttpSecureFailure},
    {CURLE_AGAIN, kWinHttpConnectionError},
    {CURLE_SSL_CRL_BADFILE, kWinHttpSecureFailure},
    {CURLE_SSL_ISSUER_ERROR, kWinHttpSecureFailure},
    {CURLE_CHUNK_FAILED, kWinHttpInvalidServerResponse},
    {CURLE_SSL_PINNEDPUBKEYNOTMATCH, kWinHttpSecureFailure},
    {CURLE_SSL_INVALIDCERTSTATUS, kWinHttpSecureFailure},
    {CURLE_HTTP2_STREAM, kWinHttpConnectionError},
    {CURLE_RECURSIVE_API_CALL, kWinHttpInternalError},
    {CURLE_HTTP3, kWinHttpInvalidServerResponse},
    {CURLE_QUIC_CONNECT_ERROR, kWinHttpCannotConnect},
    {CURLE_PROXY, kWinHttpCannotConnect},
    {CURLE_SSL_CLIENTCERT, kWinHttpSecureFailure},
    {CURLE_UNRECOVERABLE_POLL, kWinHttpInternalError},
};

}  // namespace

uint32_t win32FromCurlCode(int curlCode) {
    for (const CurlErrorRow& row : kCurlErrors)
        if (row.curl == curlCode) return row.win32;
    return kWinHttpInternalError;
}

}  // namespace tavo
