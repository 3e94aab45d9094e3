// The buttons of the exception box, in the order of the "FocusedBtn" setting, with the
// settings that show and caption each of them.
#pragma once

#include <array>
#include <string_view>

namespace userdb::crash {

enum class ButtonKind { kSend = 0, kSave, kPrint, kShow, kContinue, kRestart, kClose };

inline constexpr std::array<ButtonKind, 7> kButtonKinds = {
    ButtonKind::kSend,     ButtonKind::kSave,    ButtonKind::kPrint, ButtonKind::kShow,
    ButtonKind::kContinue, ButtonKind::kRestart, ButtonKind::kClose};

inline constexpr size_t IndexOf(ButtonKind kind) {
  return static_cast<size_t>(kind);
}

// "SendBtnVis" and "SendBtnTxt" for send, and so on.
inline constexpr std::array<std::string_view, 7> kButtonVisibleSettings = {
    "SendBtnVis",     "SaveBtnVis",    "PrintBtnVis", "ShowBtnVis",
    "ContinueBtnVis", "RestartBtnVis", "CloseBtnVis"};
inline constexpr std::array<std::string_view, 7> kButtonCaptionSettings = {
    "SendBtnTxt",     "SaveBtnTxt",    "PrintBtnTxt", "ShowBtnTxt",
    "ContinueBtnTxt", "RestartBtnTxt", "CloseBtnTxt"};

// The buttons that stand in the column of the two-group layout.
inline constexpr bool IsApplicationButton(ButtonKind kind) {
  return kind == ButtonKind::kContinue || kind == ButtonKind::kRestart ||
         kind == ButtonKind::kClose;
}

}  // namespace userdb::crash
