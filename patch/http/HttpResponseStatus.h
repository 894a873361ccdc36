// The parsed status line of a response ("HTTP/1.1 200 OK").
#pragma once

#include <cstddef>
#include <string>

namespace tavo {

class HttpResponseStatus {
public:
    // Parses the first line of `text`. The line ends at the first LF, which
    // must follow a CR; text without LF is one line. False when a separator
    // is missing (the space after the code is required).
    bool parse(const char* text, std::size_t length);
    void reset();

    const std::string& protocol() const { return protocol_; }
    int majorVersion() const { return major_; }
    int minorVersion() const { return minor_; }
    int statusCode() const { return statusCode_; }
    const std::string& reasonPhrase() const { return reason_; }
    // Length of the status line including its CR LF.
    std::size_t lineLength() const { return lineLength_; }

private:
    std::string protocol_;
    int major_ = 0;
    int minor_ = 0;
    int statusCode_ = -1;
    std::string reason_;
    std::size_t lineLength_ = 0;
};

}  // namespace tavo
