// Error codes of the patch installation: the Mendrel reader, the archive
// commands, the database refresh and the installer worker.
#pragma once

namespace tavo {

// Mendrel reader.
constexpr int kErrShortRead = 20600;
constexpr int kErrSignatureRead = 20628;
constexpr int kErrSignatureMismatch = 20629;
constexpr int kErrFileHeaderStage = 20630;
constexpr int kErrOnFileHeader = 20631;
constexpr int kErrOnApplyOption1 = 20635;
constexpr int kErrOnApplyEnd = 20636;
constexpr int kErrEntryChunk = 20638;
constexpr int kErrPatchOpen = 20639;
constexpr int kErrChecksumVerify = 20641;
constexpr int kErrChecksumRead = 20642;
constexpr int kErrChecksumMismatch = 20643;
constexpr int kErrUnexpectedTag = 20644;
constexpr int kErrBodyRead = 20645;
constexpr int kErrSizeShort = 20646;
constexpr int kErrTagRead = 20647;
constexpr int kErrDirectorySize = 20648;
constexpr int kErrPeek = 20649;
constexpr int kErrApplyStage = 20651;
constexpr int kErrChunkHeader = 20652;
constexpr int kErrOnApplyOption2 = 20653;
constexpr int kErrEndOfFile = 20654;
constexpr int kErrVersion = 20696;
constexpr int kErrOnApfs = 20702;
constexpr int kErrApfsStage = 20703;
constexpr int kErrAddDirectoryChunk = 20704;
constexpr int kErrDeleteDirectoryChunk = 20705;
constexpr int kErrNameLength = 20706;
constexpr int kErrOnAddDirectory = 20707;
constexpr int kErrOnDeleteDirectory = 20708;
constexpr int kErrFileHeaderSize = 20712;
constexpr int kErrUnknownCommand = 20801;
constexpr int kErrCommandD = 20814;
constexpr int kErrCommandF = 20815;
constexpr int kErrCommandH = 20816;
constexpr int kErrCommandI = 20817;
constexpr int kErrCommandX = 20818;
constexpr int kErrCommandA = 20819;
constexpr int kErrCommandT = 20835;
constexpr int kErrCommandE = 20836;
constexpr int kErrProgressStop = 20876;
constexpr int kErrDiscardFailed = 20877;
constexpr int kErrSizeRead = 20878;
constexpr int kErrEofNotAtEnd = 20879;
constexpr int kErrRecordMemory = 20889;
constexpr int kErrInnerSizeMismatch = 20943;

// Archive commands.
constexpr int kErrAddNotOpen = 20823;
constexpr int kErrSeek = 20830;
constexpr int kErrShortWrite = 20831;
constexpr int kErrExpandNotOpen = 20837;
constexpr int kErrExpandSize = 20839;
constexpr int kErrFileAddOpen = 20866;
constexpr int kErrReleaseNotDirectory = 20867;
constexpr int kErrReleaseDelete = 20868;
constexpr int kErrFileAddMemory = 20869;
constexpr int kErrFileObjectMemory = 20870;
constexpr int kErrPathMemory = 20871;
constexpr int kErrFileDelete = 20872;
constexpr int kErrDataFileOpen = 20890;
constexpr int kErrDeleteNotOpen = 20922;
constexpr int kErrHeaderNotOpen = 20927;
constexpr int kErrHeaderLength = 20928;
constexpr int kErrHeaderKind = 20929;

// Installer worker and database refresh.
constexpr int kErrThreadStart = 20420;
constexpr int kErrAlreadyRunning = 20421;
constexpr int kErrPatchEmpty = 20549;
constexpr int kErrClusterSize = 20555;
constexpr int kErrFreeSpace = 20556;
constexpr int kErrDatabaseRefresh = 20560;
constexpr int kErrInstallDirectoryMissing = 20621;
constexpr int kErrPatchMissing = 20622;

// Checks of our own on untrusted patch contents.
constexpr int kErrPathOutside = 21020;        // path absolute, with "..", or a control byte
constexpr int kErrInnerSizeShort = 21021;     // innerSize below its command's header length
constexpr int kErrAddPayloadShort = 21022;    // "A" payload below blockCount x 128
constexpr int kErrBlockDataLength = 21023;    // file-add block data length above 16384
constexpr int kErrApplySize = 21024;          // "APLY" chunk size other than 12
constexpr int kErrBlockBounds = 21025;        // file-add block header or data past the payload
constexpr int kErrBlockInflate = 21026;       // block does not inflate to its data length
constexpr int kErrPathLength = 21027;         // "F" pathLength past the record, or no file name
constexpr int kErrEmptyBlockCount = 21028;    // "D" or "E" with blockCount 0

}  // namespace tavo
