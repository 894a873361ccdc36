#include "core/ErrorText.h"

#include <string_view>

namespace zanth {

namespace {

constexpr const char* kMessages[] = {
    "서버와의 연결이 종료되었습니다. 이 문제에 대한 해결을 원하시면 1:1 메일 문의로 문의하시기 바랍니다.",
    "서버가 응답하지 않습니다. 이 문제에 대한 도움을 원하시면 1:1 메일 문의로 문의하시기 바랍니다.",
    "업데이트 중에 문제가 발생되었습니다. ZANTH를 재실행하시기 바랍니다.",
    "1개 이상의 파일이 변조되었습니다. ZANTH를 재 설치하시기 바랍니다.",
    "업데이트 서버에 접속 가능한 인원이 초과되었습니다. 잠시 후 다시 시도해주세요.",
    "업데이트 서버에 연결할 수 없습니다.",
    "다운로드 중에 문제가 발생되었습니다. 다시 시도해주세요.",
    "파일 업데이트에 필요한 폴더 생성이 불가능합니다.",
    "서버에 접속 가능한 인원이 초과되었습니다. 잠시 후 다시 접속을 시도해주세요.",
    "업데이트 서버에 연결할 수 없습니다.",
    "서버 상태가 혼잡합니다. 이 문제에 대한 도움을 원하시면 1:1 메일 문의로 문의하시기 바랍니다.",
    "서버와의 연결이 종료되었습니다. 이 문제에 대한 도움을 원하시면 1:1 메일 문의로 문의하시기 바랍니다.",
};

constexpr int kRowCodes = 9;

struct SequenceRow {
    int codes[kRowCodes];  // most recent first, 0 ends the row
    int message;
};
constexpr SequenceRow kSequences[] = {
    {{30413, 10009, 19900, 12152}, 0},
    {{30413, 10009, 19900, 12030}, 0},
    {{30413, 10009, 10019}, 1},
    {{11005, 20641, 20643}, 2},
    {{11006, 20641, 20643}, 2},
    {{30410, 20457, 409}, 3},
};

struct FirstCodeRow {
    int code;
    int message;
};
constexpr FirstCodeRow kFirstCodes[] = {
    {20448, 4}, {20446, 5}, {20402, 6}, {20403, 7},
    {20459, 8}, {20457, 9}, {20461, 10}, {20462, 11},
};

// A row matches when its codes (up to its first 0) equal the reported ones;
// running out of reported codes first also counts as a match.
bool sequenceMatches(const SequenceRow& row, const int* codes, int count) {
    for (int j = 0; j < kRowCodes && j < count; ++j) {
        if (row.codes[j] == 0) return true;
        if (row.codes[j] != codes[j]) return false;
    }
    return true;
}

// Cuts to at most limit bytes without splitting a UTF-8 character.
void cutUtf8(std::string& text, std::size_t limit) {
    if (text.size() <= limit) return;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
}

}  // namespace

int errorMessageIndex(const int* codes, int count) {
    if (count <= 0) return -1;
    for (const SequenceRow& row : kSequences)
        if (sequenceMatches(row, codes, count)) return row.message;
    for (const FirstCodeRow& row : kFirstCodes)
        if (row.code == codes[0]) return row.message;
    return -1;
}

std::string composeErrorText(const int* codes, int count) {
    if (count <= 0) return {};
    const int message = errorMessageIndex(codes, count);
    std::string text = message >= 0 ? kMessages[message] : "";
    text += "\n";
    for (int j = 0; j < count; ++j) {
        text += '[';
        text += std::to_string(codes[j]);
        text += ']';
    }
    cutUtf8(text, kMaxErrorTextBytes);
    return text;
}

}  // namespace zanth
