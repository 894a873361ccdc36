// Signed, expiring file addresses and unique ids.
//
// A file address carries "md5" and "expires" query values where md5 is the
// unpadded base64url MD5 of EXPIRES URI " " SECRET: the form nginx's
// secure_link module checks with
//   secure_link $arg_md5,$arg_expires;
//   secure_link_md5 "$secure_link_expires$uri SECRET";
// so the files can be served by nginx or a CDN with the same addresses.
//
// A unique id is random bytes followed by their HMAC-SHA1 under the secret,
// so the token service can tell its own ids without keeping state.
#pragma once

#include <cstdint>
#include <string>

namespace zanth::tools {

std::string linkSignature(const std::string& uri, uint64_t expires, const std::string& secret);

// "URI?md5=...&expires=..."
std::string signedLink(const std::string& uri, uint64_t expires, const std::string& secret);

enum class LinkCheck { valid, badSignature, expired };

LinkCheck checkLink(const std::string& uri, const std::string& md5, const std::string& expires,
                    const std::string& secret, uint64_t now);

// Empty when no randomness is available.
std::string newUniqueId(const std::string& secret);
bool isOwnUniqueId(const std::string& id, const std::string& secret);

}  // namespace zanth::tools
