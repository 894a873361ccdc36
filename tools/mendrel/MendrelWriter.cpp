#include "MendrelWriter.h"

#include <cstring>

#include <zlib.h>

namespace mendrel {

namespace {

constexpr unsigned char kSignature[12] = {0x91, 'M', 'E', 'N', 'D', 'R', 'E', 'L',
                                          0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint32_t kBlockHeader = 16;
constexpr uint32_t kFileHeaderMax = 244;

void put32(std::string& out, uint32_t v, bool bigEndian) {
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        out += static_cast<char>((v >> shift) & 0xFF);
    }
}

// Raw DEFLATE of one piece; empty when it does not come out smaller.
std::string deflateRaw(std::string_view piece, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&z, piece.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    z.avail_in = static_cast<uInt>(piece.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END || out.size() >= piece.size() || out.size() == kStoredMarker) return {};
    return out;
}

void putBlock(std::string& out, std::string_view data, uint32_t compressedLength,
              uint32_t dataLength, bool bigEndian) {
    const std::size_t start = out.size();
    put32(out, kBlockHeader, bigEndian);
    put32(out, 0, bigEndian);
    put32(out, compressedLength, bigEndian);
    put32(out, dataLength, bigEndian);
    out.append(data);
    const std::size_t padded = (data.size() + 143) / kBlock * kBlock;
    out.resize(start + padded, '\0');
}

}  // namespace

void putBe16(std::string& out, uint16_t v) {
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v & 0xFF);
}
void putBe32(std::string& out, uint32_t v) { put32(out, v, true); }
void putBe64(std::string& out, uint64_t v) {
    putBe32(out, static_cast<uint32_t>(v >> 32));
    putBe32(out, static_cast<uint32_t>(v));
}

std::string encodeFileBlocks(std::string_view data, bool bigEndian, bool compress, int level) {
    std::string out;
    for (std::size_t at = 0; at < data.size(); at += kBlockDataMax) {
        const std::string_view piece = data.substr(at, kBlockDataMax);
        const std::string packed = compress ? deflateRaw(piece, level) : std::string();
        const auto length = static_cast<uint32_t>(piece.size());
        if (packed.empty()) {
            putBlock(out, piece, kStoredMarker, length, bigEndian);
        } else {
            putBlock(out, packed, static_cast<uint32_t>(packed.size()), length, bigEndian);
        }
    }
    return out;
}

std::string commandRecord(char command, char operation, uint8_t byte6, std::string_view fields,
                          std::string_view payload, int64_t innerSizeDelta) {
    std::string record;
    const auto size = static_cast<int64_t>(8 + fields.size() + payload.size()) + innerSizeDelta;
    putBe32(record, static_cast<uint32_t>(size));
    record += command;
    record += operation;
    record += static_cast<char>(byte6);
    record += '\0';
    record.append(fields);
    record.append(payload);
    return record;
}

MendrelWriter::MendrelWriter() { out_.assign(reinterpret_cast<const char*>(kSignature), sizeof kSignature); }

MendrelWriter& MendrelWriter::chunk(std::string_view tag, std::string_view body, int64_t sizeDelta) {
    putBe32(out_, static_cast<uint32_t>(static_cast<int64_t>(body.size()) + sizeDelta));
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(tag.data()), 4);
    if (!body.empty()) {  // a null buffer would make crc32 start over
        crc = crc32(crc, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    }
    out_.append(tag.substr(0, 4));
    out_.append(body);
    putBe32(out_, static_cast<uint32_t>(crc));
    return *this;
}

MendrelWriter& MendrelWriter::fileHeader(uint8_t version, uint32_t bodySize) {
    std::string body(bodySize, '\0');
    if (bodySize > 2) body[2] = static_cast<char>(version);
    if (bodySize > kFileHeaderMax) body.resize(bodySize, '\x5a');
    return chunk("FHDR", body);
}

MendrelWriter& MendrelWriter::apfs(uint64_t first, uint64_t second) {
    std::string body;
    putBe64(body, first);
    putBe64(body, second);
    putBe32(body, 0);
    return chunk("APFS", body);
}

MendrelWriter& MendrelWriter::applyOption(uint32_t optionId, uint32_t value) {
    std::string body;
    putBe32(body, optionId);
    putBe32(body, 0);
    putBe32(body, value);
    return chunk("APLY", body);
}

static std::string directoryBody(std::string_view name) {
    std::string body;
    putBe32(body, static_cast<uint32_t>(name.size()));
    body.append(name);
    body.append(8, '\0');
    return body;
}

MendrelWriter& MendrelWriter::addDirectory(std::string_view name) { return chunk("ADIR", directoryBody(name)); }
MendrelWriter& MendrelWriter::deleteDirectory(std::string_view name) { return chunk("DELD", directoryBody(name)); }
MendrelWriter& MendrelWriter::end(std::string_view body) { return chunk("EOF_", body); }

MendrelWriter& MendrelWriter::command(std::string_view record, int64_t sizeDelta) {
    return chunk("TVPK", record, sizeDelta);
}

static std::string blockFields(uint16_t mainId, uint16_t subId, uint32_t fileId, uint32_t blockOffset,
                               uint32_t blockCount, uint32_t deleteBlockCount) {
    std::string f;
    putBe16(f, mainId);
    putBe16(f, subId);
    putBe32(f, fileId);
    putBe32(f, blockOffset);
    putBe32(f, blockCount);
    putBe32(f, deleteBlockCount);
    return f;
}

MendrelWriter& MendrelWriter::addData(uint16_t mainId, uint16_t subId, uint32_t fileId,
                                      uint32_t blockOffset, std::string_view data,
                                      uint32_t deleteBlockCount) {
    const auto blocks = static_cast<uint32_t>(data.size() / kBlock);
    return command(commandRecord('A', 0, 0, blockFields(mainId, subId, fileId, blockOffset, blocks,
                                                        deleteBlockCount), data));
}

MendrelWriter& MendrelWriter::deleteData(uint16_t mainId, uint16_t subId, uint32_t fileId,
                                         uint32_t blockOffset, uint32_t blockCount) {
    return command(commandRecord('D', 0, 0, blockFields(mainId, subId, fileId, blockOffset, blockCount, 0), {}));
}

MendrelWriter& MendrelWriter::expandData(uint16_t mainId, uint16_t subId, uint32_t fileId,
                                         uint32_t blockOffset, uint32_t blockCount) {
    return command(commandRecord('E', 0, 0, blockFields(mainId, subId, fileId, blockOffset, blockCount, 0), {}));
}

MendrelWriter& MendrelWriter::headerWrite(char fileKind, char headerKind, uint16_t mainId,
                                          uint16_t subId, uint32_t fileId,
                                          std::string_view header1024) {
    std::string f;
    putBe16(f, mainId);
    putBe16(f, subId);
    putBe32(f, fileId);
    return command(commandRecord('H', fileKind, static_cast<uint8_t>(headerKind), f, header1024));
}

MendrelWriter& MendrelWriter::fileOperation(char operation, std::string_view path,
                                            uint64_t fileOffset, uint64_t fileSize,
                                            uint16_t expansionId, std::string_view payload) {
    std::string pathField(path);
    pathField += '\0';
    std::string f;
    putBe64(f, fileOffset);
    putBe64(f, fileSize);
    putBe32(f, static_cast<uint32_t>(pathField.size()));
    putBe16(f, expansionId);
    putBe16(f, 0);
    return command(commandRecord('F', operation, 0, f, pathField + std::string(payload)));
}

MendrelWriter& MendrelWriter::fileAdd(std::string_view path, uint64_t fileOffset,
                                      std::string_view blocks, uint64_t fileSize) {
    return fileOperation('A', path, fileOffset, fileSize, 0, blocks);
}
MendrelWriter& MendrelWriter::fileDelete(std::string_view path) { return fileOperation('D', path, 0, 0, 0, {}); }
MendrelWriter& MendrelWriter::removeRelease(std::string_view path, uint16_t expansionId) {
    return fileOperation('R', path, 0, 0, expansionId, {});
}
MendrelWriter& MendrelWriter::makeDirectory(std::string_view path) { return fileOperation('M', path, 0, 0, 0, {}); }

MendrelWriter& MendrelWriter::target(int16_t platform, uint16_t folderLayout, uint64_t extraTotal) {
    std::string f;
    putBe16(f, static_cast<uint16_t>(platform));
    putBe16(f, 0);
    putBe16(f, 0);
    putBe16(f, folderLayout);
    putBe64(f, extraTotal);
    f.append(104, '\0');
    return command(commandRecord('T', 0, 0, f, {}));
}

MendrelWriter& MendrelWriter::commandI() {
    std::string f;
    putBe16(f, 1);
    putBe16(f, 2);
    putBe32(f, 3);
    putBe64(f, 4);
    putBe32(f, 5);
    putBe32(f, 6);
    return command(commandRecord('I', 0, 0, f, {}));
}

MendrelWriter& MendrelWriter::commandX() {
    std::string f;
    putBe64(f, 7);
    return command(commandRecord('X', 0, 0, f, {}));
}

bool MendrelWriter::drainTo(std::FILE* file) {
    const bool ok = std::fwrite(out_.data(), 1, out_.size(), file) == out_.size();
    out_.clear();
    return ok;
}

bool MendrelWriter::save(const std::string& path) const {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(out_.data(), 1, out_.size(), file) == out_.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace mendrel
