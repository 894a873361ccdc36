// Incremental SHA-1 (FIPS 180-1) through OpenSSL's EVP interface.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace tavo {

class Sha1 {
public:
    static constexpr std::size_t kDigestSize = 20;
    using Digest = std::array<uint8_t, kDigestSize>;

    Sha1();
    ~Sha1();
    Sha1(const Sha1&) = delete;
    Sha1& operator=(const Sha1&) = delete;

    void reset();
    void update(const void* data, std::size_t length);
    // Finishes the digest and resets the state for the next message.
    Digest finish();

    static std::string toHex(const Digest& digest);
    static Digest of(const void* data, std::size_t length);

private:
    EVP_MD_CTX* ctx_;
};

}  // namespace tavo
