// Status line, header block and header-name table of the HTTP client.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "http/HttpHeaders.h"
#include "http/HttpResponseStatus.h"

namespace tavo {
namespace {

struct StatusCase {
    const char* text;
    bool parses;
    const char* protocol;
    int major;
    int minor;
    int code;
    const char* reason;
    std::size_t lineLength;
};

const StatusCase kStatusCases[] = {
    {"HTTP/1.1 200 OK\r\n", true, "HTTP", 1, 1, 200, "OK", 17},
    {"HTTP/1.0 404 Not Found\r\nServer: x\r\n\r\n", true, "HTTP", 1, 0, 404, "Not Found", 24},
    {"HTTP/1.1 503 \r\n", true, "HTTP", 1, 1, 503, "", 15},
    // Without LF the whole text is the line.
    {"HTTP/1.1 200 OK", true, "HTTP", 1, 1, 200, "OK", 15},
    // Numbers are read as far as their digits go.
    {"HTTP/2x.7y 2a1 Odd\r\n", true, "HTTP", 2, 7, 2, "Odd", 20},
    {"HTTP/1.1 99999999999 Big\r\n", true, "HTTP", 1, 1, INT_MAX, "Big", 26},
    {"ICY/1.1 200 OK\r\n", true, "ICY", 1, 1, 200, "OK", 16},
    // The space after the code is required.
    {"HTTP/1.1 200\r\n", false, "", 0, 0, -1, "", 0},
    // LF without CR.
    {"HTTP/1.1 200 OK\n", false, "", 0, 0, -1, "", 0},
    {"\nHTTP/1.1 200 OK\r\n", false, "", 0, 0, -1, "", 0},
    {"HTTP1.1 200 OK\r\n", false, "", 0, 0, -1, "", 0},
    {"HTTP/11 200 OK\r\n", false, "", 0, 0, -1, "", 0},
    {"HTTP/1.1\r\n 200 OK\r\n", false, "", 0, 0, -1, "", 0},
    {"\r\n", false, "", 0, 0, -1, "", 0},
    {"", false, "", 0, 0, -1, "", 0},
};

TEST(HttpResponseStatusTest, ParsesStatusLinesAndRejectsMalformedOnes) {
    for (const StatusCase& c : kStatusCases) {
        SCOPED_TRACE(::testing::Message() << '"' << c.text << '"');
        HttpResponseStatus status;
        const std::string text = c.text;
        ASSERT_EQ(status.parse(text.data(), text.size()), c.parses);
        if (!c.parses) {
            EXPECT_EQ(status.statusCode(), -1);
            continue;
        }
        EXPECT_EQ(status.protocol(), c.protocol);
        EXPECT_EQ(status.majorVersion(), c.major);
        EXPECT_EQ(status.minorVersion(), c.minor);
        EXPECT_EQ(status.statusCode(), c.code);
        EXPECT_EQ(status.reasonPhrase(), c.reason);
        EXPECT_EQ(status.lineLength(), c.lineLength);
    }
}

TEST(HttpResponseStatusTest, ParseReplacesThePreviousResult) {
    HttpResponseStatus status;
    const std::string good = "HTTP/1.1 200 OK\r\n";
    const std::string bad = "HTTP/1.1 404\r\n";
    ASSERT_TRUE(status.parse(good.data(), good.size()));
    EXPECT_FALSE(status.parse(bad.data(), bad.size()));
    EXPECT_EQ(status.statusCode(), -1);
    EXPECT_EQ(status.protocol(), "");
}

struct Field {
    const char* name;
    const char* value;
};

struct BlockCase {
    const char* text;
    bool parses;
    std::size_t blockLength;
    std::vector<Field> present;
    std::vector<const char*> absent;
};

const BlockCase kBlockCases[] = {
    {"\r\n", true, 2, {}, {"", "A"}},
    {"\r\nA: 1\r\n\r\n", true, 2, {}, {"A"}},
    {"A: 1\r\nB:\t  two words \r\n\r\n", true, 25, {{"A", "1"}, {"B", "two words "}}, {}},
    // First occurrence wins; names are case-sensitive.
    {"Content-Type: a\r\nContent-Type: b\r\n\r\n", true, 36, {{"Content-Type", "a"}},
     {"content-type", "CONTENT-TYPE"}},
    {"Empty:\r\nColon: a:b\r\n\r\n", true, 22, {{"Empty", ""}, {"Colon", "a:b"}}, {}},
    // Lines after the end marker are not part of the block.
    {"A: 1\r\n\r\nB: 2\r\n\r\n", true, 8, {{"A", "1"}}, {"B"}},
    {"A: 1\r\n", false, 0, {}, {"A"}},
    {"A: 1\r\n\r", false, 0, {}, {"A"}},
    {"A: 1\r\nNoColon\r\n\r\n", false, 0, {}, {"A"}},
    // The colon of a later line does not count for a line without one.
    {"NoColon\r\nB: 2\r\n\r\n", false, 0, {}, {"B"}},
    {"A: 1\n\n", false, 0, {}, {"A"}},
    {"", false, 0, {}, {}},
};

TEST(HttpHeadersTest, ParsesHeaderBlocksAndRejectsMalformedOnes) {
    for (const BlockCase& c : kBlockCases) {
        SCOPED_TRACE(::testing::Message() << '"' << c.text << '"');
        HttpHeaders headers;
        const std::string previous = "Old: value\r\n\r\n";
        ASSERT_TRUE(headers.parse(previous.data(), previous.size()));
        const std::string text = c.text;
        ASSERT_EQ(headers.parse(text.data(), text.size()), c.parses);
        EXPECT_EQ(headers.blockLength(), c.blockLength);
        std::string value;
        EXPECT_FALSE(headers.find("Old", value)) << "previous contents are discarded";
        for (const Field& f : c.present) {
            ASSERT_TRUE(headers.find(f.name, value)) << f.name;
            EXPECT_EQ(value, f.value);
        }
        for (const char* name : c.absent) EXPECT_FALSE(headers.find(name, value)) << name;
        if (c.parses) {
            EXPECT_EQ(headers.fields().size(), c.present.size());
        }
    }
}

TEST(HttpHeadersTest, EveryTableIndexFindsItsName) {
    const char* const expected[kHeaderIdCount] = {
        "Accept", "Accept-Charset", "Accept-Encoding", "Accept-Language", "Authorization",
        "Expect", "From", "Host", "If-Modified-Since", "If-Match", "If-None-Match", "If-Range",
        "If-Unmodified-Since", "Max-Forwards", "Proxy-Authorization", "Range", "Referer", "TE",
        "User-Agent", "Allow", "Content-Encoding", "Content-Language", "Content-Length",
        "Content-Location", "Content-MD5", "Content-Range", "Content-Type", "Expires",
        "Last-Modified", "Accept-Ranges", "Age", "ETag", "Location", "Proxy-Authenticate",
        "Retry-After", "Server", "Vary", "WWW-Authenticate", "Cache-Control", "Connection",
        "Date", "Pragma", "Trailer", "Transfer-Encoding", "Upgrade", "Via", "Warning",
    };
    std::string block;
    for (int i = 0; i < kHeaderIdCount; ++i)
        block += std::string(expected[i]) + ": v" + std::to_string(i) + "\r\n";
    block += "\r\n";
    HttpHeaders headers;
    ASSERT_TRUE(headers.parse(block.data(), block.size()));
    for (int i = 0; i < kHeaderIdCount; ++i) {
        const char* name = headerNameById(i);
        ASSERT_NE(name, nullptr) << i;
        EXPECT_STREQ(name, expected[i]) << i;
        std::string value;
        ASSERT_TRUE(headers.find(name, value)) << i;
        EXPECT_EQ(value, std::string("v").append(std::to_string(i)));
    }
    EXPECT_STREQ(headerNameById(kHeaderIdContentLength), "Content-Length");
    EXPECT_STREQ(headerNameById(kHeaderIdContentType), "Content-Type");
    EXPECT_EQ(headerNameById(kHeaderIdCount), nullptr);
    EXPECT_EQ(headerNameById(-1), nullptr);
}

}  // namespace
}  // namespace tavo
