#include "platform/Sha1.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tavo::Sha1;

struct Vector {
    std::string message;
    std::size_t repeat;
    const char* digest;
};

// FIPS 180-1 test vectors, plus the empty message.
const Vector kVectors[] = {
    {"abc", 1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
     "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    {"a", 1000000, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    {"", 1, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
};

TEST(Sha1, MatchesTheStandardVectorsFedInUnevenPieces) {
    for (const Vector& v : kVectors) {
        std::string whole;
        for (std::size_t i = 0; i < v.repeat; ++i) whole += v.message;
        Sha1 sha;
        // Pieces of 1, 2, 3, ... bytes cross every block boundary.
        std::size_t offset = 0;
        for (std::size_t piece = 1; offset < whole.size(); ++piece) {
            std::size_t n = std::min(piece, whole.size() - offset);
            sha.update(whole.data() + offset, n);
            offset += n;
        }
        EXPECT_EQ(Sha1::toHex(sha.finish()), v.digest) << v.message.substr(0, 10);
        EXPECT_EQ(Sha1::toHex(Sha1::of(whole.data(), whole.size())), v.digest);
    }
}

TEST(Sha1, FinishStartsTheNextMessage) {
    Sha1 sha;
    sha.update("xyz", 3);
    sha.finish();
    sha.update("abc", 3);
    EXPECT_EQ(Sha1::toHex(sha.finish()), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

}  // namespace
