// Speed history, its average, the remaining minutes and the composed error text.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "core/ErrorText.h"
#include "core/SpeedHistory.h"

using namespace zanth;

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

SpeedHistory historyOf(std::initializer_list<std::uint64_t> newestFirst) {
    SpeedHistory h;
    std::vector<std::uint64_t> samples(newestFirst);
    for (auto it = samples.rbegin(); it != samples.rend(); ++it) h.push(*it);
    return h;
}

}  // namespace

TEST(SpeedHistory, AverageCountsInnerZerosButNotTheOldEnd) {
    struct Case {
        std::initializer_list<std::uint64_t> samples;
        std::uint64_t average;
    };
    const Case cases[] = {
        {{5, 0, 7, 0, 0, 0, 0, 0, 0, 0}, 4},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
        {{0, 0, 9}, 3},   // leading (newest) zeros count
        {{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, 55},
        {{7}, 7},
    };
    for (const Case& c : cases) EXPECT_EQ(historyOf(c.samples).average(), c.average);
}

TEST(SpeedHistory, ElevenPushesKeepTheLastTen) {
    SpeedHistory h;
    for (std::uint64_t v = 1; v <= 11; ++v) h.push(v);
    EXPECT_EQ(h.samples()[0], 11u);
    EXPECT_EQ(h.samples()[9], 2u);
    EXPECT_EQ(h.average(), (2u + 11u) * 10u / 2u / 10u);
    h.clear();
    EXPECT_EQ(h.average(), 0u);
}

TEST(RemainingMinutes, NeverBelowOneAndRoundedUpByOne) {
    struct Case {
        std::uint64_t rest;
        std::uint64_t average;
        int minutes;
    };
    const Case cases[] = {
        {600 * kMiB, kMiB, 11},          // 600 s
        {123456, 0, 1},                  // no average yet
        {0, kMiB, 1},
        {59, 1, 1},
        {60, 1, 2},
        {(1ull << 32) + 120, 1, 3},      // only the low 32 bits of the seconds count
    };
    for (const Case& c : cases) EXPECT_EQ(remainingMinutes(c.rest, c.average), c.minutes) << c.rest;
}

TEST(ErrorText, MessageByCodeSequenceThenFirstCode) {
    const std::string server = "서버가 응답하지 않습니다. 이 문제에 대한 도움을 원하시면 1:1 메일 문의로 문의하시기 바랍니다.";
    const std::string closed =
        "서버와의 연결이 종료되었습니다. 이 문제에 대한 해결을 원하시면 1:1 메일 문의로 문의하시기 바랍니다.";
    const std::string noServer = "업데이트 서버에 연결할 수 없습니다.";
    const std::string tampered = "1개 이상의 파일이 변조되었습니다. ZANTH를 재 설치하시기 바랍니다.";
    const std::string busy = "서버 상태가 혼잡합니다. 이 문제에 대한 도움을 원하시면 1:1 메일 문의로 문의하시기 바랍니다.";
    struct Case {
        std::vector<int> codes;
        std::string text;
    };
    const Case cases[] = {
        {{30413, 10009, 10019, 5}, server + "\n[30413][10009][10019][5]"},
        {{30413}, closed + "\n[30413]"},  // the reported codes run out first
        {{30413, 10009, 19900, 12030}, closed + "\n[30413][10009][19900][12030]"},
        {{20457, 12}, noServer + "\n[20457][12]"},
        {{30410, 20457, 409}, tampered + "\n[30410][20457][409]"},  // sequence before first code
        {{20461}, busy + "\n[20461]"},
        {{777}, "\n[777]"},
        {{30413, 10009, 19900, 99}, "\n[30413][10009][19900][99]"},  // no row, 30413 not a first code
        {{}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(composeErrorText(c.codes.data(), static_cast<int>(c.codes.size())), c.text);
}

TEST(ErrorText, TwentyCodesStayWithinTheLimit) {
    std::vector<int> codes(kMaxErrorCodes, -2147483647 - 1);
    const std::string text = composeErrorText(codes.data(), kMaxErrorCodes);
    EXPECT_LE(text.size(), kMaxErrorTextBytes);
    EXPECT_EQ(text.rfind("[-2147483648]"), text.size() - 13);
}
