// Environment table, start-up choice, the endpoint override and the
// unattended variant.
#include <gtest/gtest.h>

#include "DeploymentConfig.h"
#include "core/DebugTrace.h"
#include "core/EndpointOverride.h"
#include "core/EnvironmentState.h"
#include "core/UnattendedVariant.h"

using namespace zanth;
namespace dep = zanth::deployment;

namespace {

const char kAllFive[] =
    R"({"LOBBY_HOST":"l.example","LOBBY_PORT":"1234","GMSERVER_HOST":"g.example",)"
    R"("GAME_VERSION_CHECK_SERVER":"127.0.0.9","REPOSITORY":"repo"})";

}  // namespace

TEST(Environment, TableRowsByTypeAndVariant) {
    struct Case {
        int type;
        bool variant;
        const char* lobby;
        const char* gm;
        const char* check;
        const char* download;
        const char* game;
    };
    const Case cases[] = {
        {0, false, dep::kLiveLobbyHost, dep::kLiveGmHost, dep::kLiveVersionCheckHost, "pomble_download", "game"},
        {0, true, dep::kLive2LobbyHost, dep::kLive2GmHost, dep::kLive2VersionCheckHost, "brevani_download", "game"},
        {7, false, dep::kLiveLobbyHost, dep::kLiveGmHost, dep::kLiveVersionCheckHost, "pomble_download", "game"},
        {1, true, dep::kCoreLobbyHost, dep::kCoreGmHost, dep::kCoreVersionCheckHost, "core_download", "game"},
        {2, false, dep::kHTypeLobbyAddress, dep::kHTypeGmAddress, dep::kHTypeVersionCheckAddress, "htype_download",
         "game_h_type"},
        {2, true, dep::kHDashLobbyAddress, dep::kCoreGmHost, dep::kHDashVersionCheckAddress, "hdash_type_download",
         "game_hdash_type"},
    };
    for (const Case& c : cases) {
        const EnvironmentRow& row = environmentRow(c.type, c.variant);
        const Endpoints e = endpointsOf(row);
        EXPECT_EQ(e, (Endpoints{c.lobby, "54994", c.gm, c.check, "brinq_release_ko_game"})) << c.type;
        EXPECT_STREQ(row.downloadFolder, c.download);
        EXPECT_STREQ(row.gameFolder, c.game);
    }
}

TEST(Environment, StartUpChoiceByTypeArgument) {
    struct Case {
        const char* argument;
        int type;
        const char* titleSuffix;
        const char* page;
        bool trace;
    };
    const Case cases[] = {
        {"1", 1, " [CORE-SYSTEM]", dep::kDevelopmentWebRoot, true},
        {"2", 2, " [H TYPE]", dep::kDevelopmentWebRoot, true},
        {"3", 3, "", dep::kDevelopmentWebRoot, true},
        {"4", 4, "", dep::kLauncherWebRoot, true},
        {"abc", 0, "", dep::kLauncherWebRoot, false},
        {"  +1x", 1, " [CORE-SYSTEM]", dep::kDevelopmentWebRoot, true},
        {"-1", -1, "", dep::kLauncherWebRoot, true},
        {"0", 0, "", dep::kLauncherWebRoot, false},
    };
    for (const Case& c : cases) {
        EnvironmentState env;
        env.chooseAtStart(c.argument, "-");
        EXPECT_EQ(env.type(), c.type) << c.argument;
        EXPECT_EQ(env.title(), std::string("ZANTH - KOREA LAUNCHER 2016.01.28.0000.0001") + c.titleSuffix);
        EXPECT_EQ(env.pageRoot(), c.page) << c.argument;
        EXPECT_EQ(traceEnabled(), c.trace) << c.argument;
        EXPECT_FALSE(env.customEndpoints());
        EXPECT_EQ(env.endpoints(), endpointsOf(environmentRow(c.type, false)));
    }
    setTraceEnabled(false);
}

TEST(Environment, VariantSelectsRowUnlessEndpointsCameComplete) {
    EnvironmentState table;
    table.chooseAtStart("2", "-");
    table.selectEndpoints(true);
    EXPECT_STREQ(table.row().downloadFolder, "hdash_type_download");
    EXPECT_EQ(table.endpoints().gmServerHost, dep::kCoreGmHost);

    EnvironmentState custom;
    custom.chooseAtStart("2", (std::string(kAllFive) + " trailing junk").c_str());
    ASSERT_TRUE(custom.customEndpoints());
    custom.selectEndpoints(true);
    EXPECT_EQ(custom.endpoints(), (Endpoints{"l.example", "1234", "g.example", "127.0.0.9", "repo"}));
    EXPECT_STREQ(custom.row().gameFolder, "game_hdash_type");  // folders still follow the variant
    setTraceEnabled(false);
}

TEST(EndpointOverride, OnlyStringMembersOfARootObjectAreRead) {
    const Endpoints unset;
    struct Case {
        std::string argument;
        Endpoints expected;
    };
    const Case cases[] = {
        {std::string(kAllFive) + "xyz", {"l.example", "1234", "g.example", "127.0.0.9", "repo"}},
        {R"({"LOBBY_HOST":"h","LOBBY_PORT":54994,"REPOSITORY":"r"})", {"h", "", "", "", "r"}},
        {R"({"LOBBY_HOST":"h")", unset},                       // no closing brace: nothing is read
        {R"({"LOBBY_HOST":"h"} junk })", unset},               // cut after the last brace: parse error
        {R"(["LOBBY_HOST"] {"a":1})", unset},                  // root is not an object
        {R"({"lobby_host":"h","GMSERVER_HOST":null})", unset}, // names are case-sensitive, null is no string
        {R"({"inner":{"LOBBY_HOST":"h"}})", unset},            // top-level members only
        {"", unset},
    };
    for (const Case& c : cases) {
        Endpoints e;
        readEndpointOverride(c.argument, e);
        EXPECT_EQ(e, c.expected) << c.argument;
    }
}

TEST(EndpointOverride, NumericPortMakesTheTableSupplyAllFive) {
    std::string argument = kAllFive;
    argument.replace(argument.find(R"("1234")"), 6, "54994");
    EnvironmentState env;
    env.chooseAtStart("1", argument.c_str());
    EXPECT_FALSE(env.customEndpoints());
    EXPECT_EQ(env.endpoints(), endpointsOf(environmentRow(1, false)));
    setTraceEnabled(false);
}

TEST(EndpointOverride, ArgumentIsCutTo4095Characters) {
    // The closing brace lies beyond the cut, so nothing is read.
    std::string longValue(4095, 'a');
    Endpoints e;
    readEndpointOverride(R"({"LOBBY_HOST":")" + longValue + R"("})", e);
    EXPECT_EQ(e, Endpoints{});
    // Multi-byte characters count as one each.
    std::string korean;
    for (int i = 0; i < 1000; ++i) korean += "가";
    readEndpointOverride(R"({"LOBBY_HOST":")" + korean + R"("})", e);
    EXPECT_EQ(e.lobbyHost, korean);
}

TEST(UnattendedVariant, ParityOfTheLastDigit) {
    EXPECT_TRUE(variantFromAddress("10.1.2.4"));
    EXPECT_TRUE(variantFromAddress("10.1.2.30"));
    EXPECT_FALSE(variantFromAddress("10.1.2.7"));
    EXPECT_FALSE(variantFromAddress(""));
}
