// Texts shown to the user about the outcome of an update run.
#pragma once

#include <string>

namespace zanth {

inline constexpr char kPatchFailureText[] =
    "게임 클라이언트 패치에 문제가 발생하였습니다.\n문제 지속 시 1:1 메일 문의로 문의하시기 바랍니다.";

// The failure text with the library's error text under it.
inline std::string patchFailureWithErrorText(const std::string& errorText) {
    return std::string(kPatchFailureText) + "\n 에러코드: " + errorText;
}

// The warning for a PATCH_NOTIFY_ERROR_CODE value; null for other codes.
inline const char* errorCodeMessage(int code) {
    struct Row {
        int code;
        const char* text;
    };
    static constexpr Row kRows[] = {
        {1888, "디스크 용량이 부족합니다."},
        {90001, "설치 경로를 찾을 수 없습니다."},
        {90002, "설치 경로에 사용할 수 없는 문자가 포함되어 있습니다."},
    };
    for (const Row& row : kRows)
        if (row.code == code) return row.text;
    return nullptr;
}

}  // namespace zanth
