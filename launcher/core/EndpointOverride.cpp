#include "core/EndpointOverride.h"

#include <rapidjson/document.h>

namespace zanth {

namespace {

constexpr std::size_t kArgumentCharacters = 4095;

struct OverrideKey {
    const char* name;
    std::string Endpoints::*member;
};
constexpr OverrideKey kKeys[] = {
    {"LOBBY_HOST", &Endpoints::lobbyHost},
    {"LOBBY_PORT", &Endpoints::lobbyPort},
    {"GMSERVER_HOST", &Endpoints::gmServerHost},
    {"GAME_VERSION_CHECK_SERVER", &Endpoints::versionCheckServer},
    {"REPOSITORY", &Endpoints::repository},
};

bool isContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

// The first count characters of a UTF-8 text, never splitting a character.
std::string firstCharacters(const std::string& text, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isContinuationByte(static_cast<unsigned char>(text[i]))) continue;
        if (characters == count) return text.substr(0, i);
        ++characters;
    }
    return text;
}

}  // namespace

void readEndpointOverride(const std::string& argument, Endpoints& endpoints) {
    std::string text = firstCharacters(argument, kArgumentCharacters);
    const std::size_t brace = text.rfind('}');
    text.resize(brace == std::string::npos ? 0 : brace + 1);

    rapidjson::Document document;
    document.Parse(text.c_str(), text.size());
    if (document.HasParseError() || !document.IsObject()) return;

    for (const OverrideKey& key : kKeys) {
        const auto member = document.FindMember(key.name);
        if (member == document.MemberEnd() || !member->value.IsString()) continue;
        endpoints.*key.member = std::string(member->value.GetString(), member->value.GetStringLength());
    }
}

}  // namespace zanth
