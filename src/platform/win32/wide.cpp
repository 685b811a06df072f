#include "platform/win32/wide.h"

#include <windows.h>

namespace quorvel::win32 {

namespace {

std::wstring multiByteToWide(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), length);
    return wide;
}

}  // namespace

std::wstring toWide(std::string_view utf8) { return multiByteToWide(CP_UTF8, utf8); }

void toWide(std::string_view utf8, std::wstring& out) {
    if (utf8.empty()) {
        out.clear();
        return;
    }
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    out.resize(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), length);
}

std::string toUtf8(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int size = static_cast<int>(utf16.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::string ansiToUtf8(std::string_view bytes) { return toUtf8(multiByteToWide(CP_ACP, bytes)); }

}  // namespace quorvel::win32
