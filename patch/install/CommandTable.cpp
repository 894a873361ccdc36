#include "CommandTable.h"

#include "ByteOrder.h"
#include "InstallCodes.h"

namespace tavo {

namespace {

constexpr CommandInfo kCommands[] = {
    {'A', 28, kErrCommandA}, {'D', 28, kErrCommandD}, {'E', 28, kErrCommandE},
    {'F', 32, kErrCommandF}, {'H', 16, kErrCommandH}, {'I', 32, kErrCommandI},
    {'T', 128, kErrCommandT}, {'X', 16, kErrCommandX},
};

void decodeBlockCommand(const uint8_t* h, CommandRecord& out) {
    out.mainId = loadBe16(h + 8);
    out.subId = loadBe16(h + 10);
    out.fileId = loadBe32(h + 12);
    out.blockOffset = loadBe32(h + 16);
    out.blockCount = loadBe32(h + 20);
    out.deleteBlockCount = loadBe32(h + 24);
}

void decodeHeaderWrite(const uint8_t* h, CommandRecord& out) {
    out.mainId = loadBe16(h + 8);
    out.subId = loadBe16(h + 10);
    out.fileId = loadBe32(h + 12);
}

void decodeFileOperation(const uint8_t* h, CommandRecord& out) {
    out.fileOffset = loadBe64(h + 8);
    out.fileSize = loadBe64(h + 16);
    out.pathLength = loadBe32(h + 24);
    out.expansionId = loadBe16(h + 28);
}

void decodeTargetInfo(const uint8_t* h, CommandRecord& out) {
    out.platform = static_cast<int16_t>(loadBe16(h + 8));
    out.folderLayout = loadBe16(h + 14);
    out.extraTotal = loadBe64(h + 16);
}

}  // namespace

const CommandInfo* findCommand(char letter) {
    for (const CommandInfo& info : kCommands) {
        if (info.letter == letter) return &info;
    }
    return nullptr;
}

void decodeCommandHeader(const uint8_t* h, CommandRecord& out) {
    out.innerSize = loadBe32(h);
    out.command = static_cast<char>(h[4]);
    out.operation = static_cast<char>(h[5]);
    out.reserved6 = h[6];
    switch (out.command) {
    case 'A':
    case 'D':
    case 'E': decodeBlockCommand(h, out); break;
    case 'H': decodeHeaderWrite(h, out); break;
    case 'F': decodeFileOperation(h, out); break;
    case 'T': decodeTargetInfo(h, out); break;
    default: break;  // "I" and "X" carry nothing the installer uses
    }
}

}  // namespace tavo
