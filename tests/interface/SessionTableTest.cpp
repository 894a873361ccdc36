// Each test case runs in a process of its own, so the session table and its
// cursor start fresh every time.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tavoPatch.h"

namespace {

constexpr int kSlots = 100;

TEST(SessionTable, FirstSessionIsHandleZeroAndRepositoryMustBeExact) {
    for (const char* bad : {"Game", "", "boot ", "games", "BOOT"}) EXPECT_EQ(tavoPatchInitialize(bad, ""), -1) << bad;
    EXPECT_EQ(tavoPatchInitialize(nullptr, ""), -1);
    EXPECT_EQ(tavoPatchInitialize("game", nullptr), -1);
    EXPECT_EQ(tavoPatchInitialize("game", "\xff"), -1);
    EXPECT_EQ(tavoPatchInitialize("game", "ok\xc3"), -1);  // sequence cut by the terminator
    // Refused arguments do not move the cursor.
    EXPECT_EQ(tavoPatchInitialize("game", ""), 0);
    EXPECT_EQ(tavoPatchInitialize("boot", "x"), 1);
    EXPECT_EQ(tavoPatchFinalize(0), 0);
    EXPECT_EQ(tavoPatchFinalize(1), 0);
}

TEST(SessionTable, CursorRotatesAndAFreedSlotIsFoundAgain) {
    std::vector<int> handles;
    for (int i = 0; i < kSlots; ++i) handles.push_back(tavoPatchInitialize("game", ""));
    for (int i = 0; i < kSlots; ++i) ASSERT_EQ(handles[i], i);
    // Full: refused, although the cursor still advances.
    EXPECT_EQ(tavoPatchInitialize("game", ""), -1);

    ASSERT_EQ(tavoPatchFinalize(37), 0);
    EXPECT_EQ(tavoPatchFinalize(37), TAVOPATCH_FAILED);
    EXPECT_EQ(tavoPatchInitialize("boot", ""), 37);

    ASSERT_EQ(tavoPatchFinalize(5), 0);
    ASSERT_EQ(tavoPatchFinalize(90), 0);
    // The cursor stands at 2 now (two calls past the wrap): slot 5 comes before 90.
    EXPECT_EQ(tavoPatchInitialize("game", ""), 5);
    EXPECT_EQ(tavoPatchInitialize("game", ""), 90);
    for (int h = 0; h < kSlots; ++h) EXPECT_EQ(tavoPatchFinalize(h), 0) << h;
}

TEST(SessionTable, FinalizeRefusesUnknownHandles) {
    for (int h : {-1, 0, 99, 100, 1 << 30}) EXPECT_EQ(tavoPatchFinalize(h), TAVOPATCH_FAILED) << h;
}

TEST(SessionTable, LibraryVersionIsStable) {
    const char* first = tavoPatchGetVersion();
    EXPECT_STREQ(first, "1.02");
    EXPECT_EQ(tavoPatchGetVersion(), first);
}

}  // namespace
