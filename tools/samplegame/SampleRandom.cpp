#include "SampleRandom.h"

#include <array>
#include <string_view>

namespace zanth::tools {

namespace {
constexpr std::array<std::string_view, 16> kVocabulary = {
    "sword", "shield", "quest", "npc_", "dialog", "0x7f", "level", "mana",
    "spawn", "zone", "loot", "\n", "=", " ", "texture", "bone"};
}

std::string SampleRandom::randomBytes(std::size_t length)
{
    std::string out(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        out[i] = static_cast<char>(next() & 0xFF);
    return out;
}

std::string SampleRandom::words(std::size_t length)
{
    std::string out;
    out.reserve(length + 16);
    while (out.size() < length)
        out += kVocabulary[next() % kVocabulary.size()];
    out.resize(length);
    return out;
}

}  // namespace zanth::tools
