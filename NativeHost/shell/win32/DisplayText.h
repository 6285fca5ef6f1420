#pragma once
#include <windows.h>

#include <string>

namespace kes::win32 {

// The caption of every message box of the program.
inline constexpr const wchar_t* messageBoxCaption = L"Kestrava";

// A message's text for the screen, also when it is not valid UTF-8 (system error texts may not be): invalid
// sequences become U+FFFD instead of refusing the whole text.
std::wstring displayText(const std::string& message);

// A modal message box with the program's caption, owned by `owner` (none when null).
void showMessageBox(HWND owner, const std::string& message, UINT icon);

} // namespace kes::win32
