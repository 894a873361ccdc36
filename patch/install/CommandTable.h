// The "TVPK" command letters: header length, the reader's failure code and
// the decoding of the header fields.
#pragma once

#include <cstdint>

#include "MendrelFormat.h"

namespace tavo {

struct CommandInfo {
    char letter;
    uint32_t headerLength;
    int failureCode;
};

// Null for a letter that is no command.
const CommandInfo* findCommand(char letter);

// `header` holds headerLength bytes of the record (big-endian).
void decodeCommandHeader(const uint8_t* header, CommandRecord& out);

}  // namespace tavo
