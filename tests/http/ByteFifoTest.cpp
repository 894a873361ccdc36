// The service's body buffer: order kept across wrap-around and growth.
#include <gtest/gtest.h>

#include <string>

#include "http/ByteFifo.h"

namespace tavo {
namespace {

std::string takeAll(ByteFifo& fifo, std::size_t piece) {
    std::string out;
    std::string buffer(piece, '\0');
    while (std::size_t n = fifo.take(buffer.data(), piece)) out.append(buffer.data(), n);
    return out;
}

TEST(ByteFifoTest, KeepsOrderAcrossWrapAroundAndGrowth) {
    ByteFifo fifo;
    char none[1];
    EXPECT_EQ(fifo.take(none, sizeof none), 0u);  // nothing stored yet
    std::string expected;
    std::string input;
    for (int i = 0; i < 200000; ++i) input += static_cast<char>('a' + i % 23);
    // Fill most of the first storage, drain part, then wrap and force growth
    // while the contents are split around the end.
    fifo.append(input.data(), 60000);
    std::string out(50000, '\0');
    ASSERT_EQ(fifo.take(out.data(), 50000), 50000u);
    EXPECT_EQ(out, input.substr(0, 50000));
    fifo.append(input.data() + 60000, 140000);
    EXPECT_EQ(fifo.size(), 150000u);
    EXPECT_EQ(takeAll(fifo, 1024), input.substr(50000));
    EXPECT_TRUE(fifo.empty());
}

}  // namespace
}  // namespace tavo
