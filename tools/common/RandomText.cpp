#include "RandomText.h"

#include <vector>

#include <openssl/rand.h>

namespace zanth::tools {

std::string randomHex(std::size_t bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::vector<unsigned char> raw(bytes);
    if (RAND_bytes(raw.data(), static_cast<int>(raw.size())) != 1)
        return {};
    std::string out;
    for (unsigned char b : raw) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

}  // namespace zanth::tools
