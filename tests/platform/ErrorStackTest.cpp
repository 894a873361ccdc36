#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/ErrorStack.h"

namespace {

using tavo::copyErrors;
using tavo::pushError;

std::vector<int> codes() {
    std::vector<int> out{-1};  // must be emptied by copyErrors
    copyErrors(out);
    return out;
}

class ErrorStackTest : public ::testing::Test {
protected:
    // The stack belongs to the thread, which runs every test in turn.
    void SetUp() override {
        tavo::clearErrors();
        tavo::setErrorMessage("");
    }
};

TEST_F(ErrorStackTest, EmptyStackReadsAsNoError) {
    pushError(7);
    tavo::clearErrors();  // leaves 7 in the slot; it must not be seen
    EXPECT_FALSE(tavo::hasErrors());
    EXPECT_FALSE(tavo::containsError(7));
    EXPECT_EQ(tavo::lastError(), 0);
    EXPECT_EQ(tavo::popError(), 0);
    EXPECT_EQ(tavo::popError(), 0);
    EXPECT_TRUE(codes().empty());
    pushError(8);  // popping an empty stack did not move top below -1
    EXPECT_EQ(codes(), (std::vector<int>{8}));
}

TEST_F(ErrorStackTest, NewestFirstAndPopInReverse) {
    pushError(1);
    pushError(2);
    pushError(3);
    EXPECT_TRUE(tavo::containsError(1));
    EXPECT_FALSE(tavo::containsError(4));
    EXPECT_EQ(codes(), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(tavo::popError(), 3);
    EXPECT_EQ(tavo::lastError(), 2);
    tavo::resetError(9);
    EXPECT_EQ(codes(), (std::vector<int>{9}));
}

TEST_F(ErrorStackTest, OverflowDropsOldest) {
    for (int code = 1; code <= 33; ++code) pushError(code);
    std::vector<int> expected;
    for (int code = 33; code >= 2; --code) expected.push_back(code);
    EXPECT_EQ(codes(), expected);
    EXPECT_EQ(tavo::lastError(), 33);
    EXPECT_FALSE(tavo::containsError(1));
    pushError(34);  // still full: 2 goes
    EXPECT_EQ(codes().size(), 32u);
    EXPECT_FALSE(tavo::containsError(2));
    EXPECT_EQ(codes().back(), 3);
}

TEST_F(ErrorStackTest, HandOverFromWorkerReversesOrder) {
    pushError(55);  // the caller's old codes are replaced
    std::vector<int> handed;
    std::thread worker([&] {
        EXPECT_FALSE(tavo::hasErrors());  // its own, fresh stack
        pushError(100);
        pushError(200);
        copyErrors(handed);
    });
    worker.join();
    EXPECT_EQ(handed, (std::vector<int>{200, 100}));
    EXPECT_EQ(codes(), (std::vector<int>{55}));

    tavo::restoreErrors(handed);
    EXPECT_EQ(tavo::lastError(), 100);
    EXPECT_EQ(codes(), (std::vector<int>{100, 200}));
}

TEST_F(ErrorStackTest, ThreadsPushingAtOnceSeeOnlyTheirOwn) {
    constexpr int kRounds = 2000;
    std::atomic<int> foreign{0};
    auto pusher = [&](int base) {
        for (int round = 0; round < kRounds; ++round) {
            tavo::resetError(base);
            for (int i = 1; i < 40; ++i) pushError(base + i);
            for (int code : codes())
                if (code < base || code >= base + 40) foreign.fetch_add(1);
        }
    };
    std::thread a(pusher, 1000);
    std::thread b(pusher, 2000);
    a.join();
    b.join();
    EXPECT_EQ(foreign.load(), 0);
    EXPECT_FALSE(tavo::hasErrors());
}

TEST_F(ErrorStackTest, MessageIsTruncatedAndNeverOverruns) {
    const std::string longText(2000, 'x');
    tavo::setErrorMessage(longText.c_str());
    std::vector<char> big(2048, '#');
    tavo::getErrorMessage(big.data(), big.size());
    EXPECT_EQ(std::string(big.data()), std::string(1023, 'x'));

    tavo::setErrorMessage("hello");
    struct Case {
        std::size_t size;
        const char* expected;
    };
    for (const Case& c : {Case{1, ""}, Case{4, "hel"}, Case{5, "hell"}, Case{6, "hello"},
                          Case{64, "hello"}}) {
        char buffer[80];
        std::memset(buffer, '#', sizeof(buffer));
        tavo::getErrorMessage(buffer, c.size);
        EXPECT_STREQ(buffer, c.expected) << "size " << c.size;
        EXPECT_EQ(buffer[c.size], '#') << "wrote past size " << c.size;
    }
    char untouched = '#';
    tavo::getErrorMessage(&untouched, 0);
    EXPECT_EQ(untouched, '#');
    tavo::getErrorMessage(nullptr, 10);  // no crash

    tavo::setErrorMessage(nullptr);
    char buffer[8] = "junk";
    tavo::getErrorMessage(buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "");
}

TEST_F(ErrorStackTest, MessageBelongsToItsThread) {
    tavo::setErrorMessage("caller");
    std::string seen;
    std::thread other([&] {
        char buffer[16];
        tavo::getErrorMessage(buffer, sizeof(buffer));
        seen = buffer;
        tavo::setErrorMessage("worker");
    });
    other.join();
    EXPECT_EQ(seen, "");
    char buffer[16];
    tavo::getErrorMessage(buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "caller");
}

struct TranslationCase {
    unsigned osCode;
    std::vector<int> expected;  // newest first
};

TEST_F(ErrorStackTest, SystemErrorTranslation) {
    const TranslationCase cases[] = {
        {12002, {10019}},
        {12005, {10018}},
        {12007, {10020}},
        {112, {10711}},
        {5, {19900, 5}},
        {2, {19900, 2}},
        {12029, {19900, 12029}},
        // Customer-range numbers keep their bits in the int slot.
        {0x20000004u, {19900, 0x20000004}},
    };
    for (const TranslationCase& c : cases) {
        pushError(1);  // cleared first
        tavo::resetWin32Error(c.osCode);
        EXPECT_EQ(codes(), c.expected) << "os code " << c.osCode;
    }
}

TEST_F(ErrorStackTest, RuntimeErrorTranslation) {
    const struct {
        int errnoValue;
        std::vector<int> expected;
    } cases[] = {
        {28, {10711}},
        {13, {19901, 13}},
        {2, {19901, 2}},
        {112, {19901, 112}},  // the OS disk-full number means nothing here
    };
    for (const auto& c : cases) {
        pushError(1);
        tavo::resetCrtError(c.errnoValue);
        EXPECT_EQ(codes(), c.expected) << "errno " << c.errnoValue;
    }
}

}  // namespace
