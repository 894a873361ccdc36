#include "SignedLink.h"

#include <charconv>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "RandomText.h"

namespace zanth::tools {

namespace {

constexpr std::size_t kIdRandomBytes = 12;
constexpr std::size_t kIdMacHexDigits = 24;  // first 12 bytes of the HMAC

std::string base64Url(const unsigned char* data, std::size_t size)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    for (std::size_t i = 0; i < size; i += 3) {
        const uint32_t a = data[i];
        const uint32_t b = i + 1 < size ? data[i + 1] : 0;
        const uint32_t c = i + 2 < size ? data[i + 2] : 0;
        const uint32_t group = (a << 16) | (b << 8) | c;
        out += kDigits[(group >> 18) & 63];
        out += kDigits[(group >> 12) & 63];
        if (i + 1 < size)
            out += kDigits[(group >> 6) & 63];
        if (i + 2 < size)
            out += kDigits[group & 63];
    }
    return out;
}

std::string hex(const unsigned char* data, std::size_t size)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        out += kHex[data[i] >> 4];
        out += kHex[data[i] & 15];
    }
    return out;
}

bool sameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string idMac(const std::string& randomPart, const std::string& secret)
{
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int macLength = 0;
    if (!HMAC(EVP_sha1(), secret.data(), static_cast<int>(secret.size()),
              reinterpret_cast<const unsigned char*>(randomPart.data()), randomPart.size(), mac, &macLength))
        return {};
    return hex(mac, macLength).substr(0, kIdMacHexDigits);
}

}  // namespace

std::string linkSignature(const std::string& uri, uint64_t expires, const std::string& secret)
{
    const std::string text = std::to_string(expires) + uri + " " + secret;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr))
        return {};
    return base64Url(digest, length);
}

std::string signedLink(const std::string& uri, uint64_t expires, const std::string& secret)
{
    return uri + "?md5=" + linkSignature(uri, expires, secret) + "&expires=" + std::to_string(expires);
}

LinkCheck checkLink(const std::string& uri, const std::string& md5, const std::string& expires,
                    const std::string& secret, uint64_t now)
{
    uint64_t when = 0;
    const auto [end, ec] = std::from_chars(expires.data(), expires.data() + expires.size(), when);
    if (expires.empty() || ec != std::errc() || end != expires.data() + expires.size())
        return LinkCheck::badSignature;
    const std::string expected = linkSignature(uri, when, secret);
    if (expected.empty() || !sameText(expected, md5))
        return LinkCheck::badSignature;
    return when < now ? LinkCheck::expired : LinkCheck::valid;
}

std::string newUniqueId(const std::string& secret)
{
    const std::string randomPart = randomHex(kIdRandomBytes);
    if (randomPart.empty())
        return {};
    const std::string mac = idMac(randomPart, secret);
    return mac.empty() ? std::string() : randomPart + mac;
}

bool isOwnUniqueId(const std::string& id, const std::string& secret)
{
    constexpr std::size_t kRandomDigits = 2 * kIdRandomBytes;
    if (id.size() != kRandomDigits + kIdMacHexDigits)
        return false;
    const std::string mac = idMac(id.substr(0, kRandomDigits), secret);
    return !mac.empty() && sameText(mac, id.substr(kRandomDigits));
}

}  // namespace zanth::tools
