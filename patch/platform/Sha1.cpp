#include "Sha1.h"

#include <openssl/evp.h>

#include <cstdlib>

namespace tavo {

Sha1::Sha1() : ctx_(EVP_MD_CTX_new()) {
    // Without a context nothing can be hashed; this only happens when the
    // process is out of memory.
    if (ctx_ == nullptr) std::abort();
    reset();
}

Sha1::~Sha1() { EVP_MD_CTX_free(ctx_); }

void Sha1::reset() { EVP_DigestInit_ex(ctx_, EVP_sha1(), nullptr); }

void Sha1::update(const void* data, std::size_t length) {
    if (length != 0) EVP_DigestUpdate(ctx_, data, length);
}

Sha1::Digest Sha1::finish() {
    Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(ctx_, digest.data(), &length);
    reset();
    return digest;
}

std::string Sha1::toHex(const Digest& digest) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(kDigestSize * 2);
    for (uint8_t byte : digest) {
        text.push_back(kHex[byte >> 4]);
        text.push_back(kHex[byte & 15]);
    }
    return text;
}

Sha1::Digest Sha1::of(const void* data, std::size_t length) {
    Sha1 sha;
    sha.update(data, length);
    return sha.finish();
}

}  // namespace tavo
