#pragma once
// Text conversions at the edge of the Win32 API: the program speaks UTF-8, the API UTF-16.
#include <string>
#include <string_view>

namespace quorvel::win32 {

std::wstring toWide(std::string_view utf8);
// The same into `out`, reusing its storage (for painting, which must not allocate each time).
void toWide(std::string_view utf8, std::wstring& out);
std::string toUtf8(std::wstring_view utf16);
// Bytes in the system's ANSI code page (CP_ACP), as UTF-8.
std::string ansiToUtf8(std::string_view bytes);

}  // namespace quorvel::win32
