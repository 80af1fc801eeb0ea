#pragma once

#include <QString>
#include <array>

enum class StatusPicture { None, CheckMark, QuestionMark };

// Status-picture file names in the program folder.
inline constexpr const char* kCheckMarkFile = "checkmark.gif";
inline constexpr const char* kQuestionMarkFile = "question-mark.gif";

// The one shared state of the override table: 97 rows (0..96), row = page * 24 + line.
// std::array::at() is used by callers that take an index from outside, so a bad
// index throws std::out_of_range instead of touching memory.
struct RowTable final {
    static constexpr int kRows = 97;
    static constexpr int kLinesPerPage = 24;
    static constexpr int kDeviceSlots = 93;  // rows 0..92 are all a device can hold

    std::array<QString, kRows> keyNames{};
    std::array<QString, kRows> strings{};
    std::array<QString, kRows> notes{};
    std::array<StatusPicture, kRows> pictures{};  // RowImagePaths
    std::array<bool, kRows> pictureShown{};  // RowImageShown
    std::array<QString, kRows> pictureTips{};  // RowImageTips
    std::array<bool, kRows> verified{};  // RowVerified
};
