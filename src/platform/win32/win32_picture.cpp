#include "platform/win32/win32_picture.h"

#include <wincodec.h>

#include <cstdio>
#include <memory>

#include "platform/win32/wide.h"
#include "ui/error.h"

namespace quorvel::win32 {

namespace {

// Releases a COM interface when it goes out of scope.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (p_) p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T** out() { return &p_; }
    T* operator->() const { return p_; }
    T* get() const { return p_; }

private:
    T* p_ = nullptr;
};

// The imaging component's own failures have no system text under every Windows.
const char* imagingErrorText(HRESULT hr) {
    switch (static_cast<unsigned long>(hr)) {
        case 0x88982F50UL: return "the file is not a picture in a format that can be read";
        case 0x88982F60UL: return "the picture data is damaged";
        case 0x88982F61UL: return "the picture's header is damaged";
        case 0x88982F62UL: return "the picture has no image in it";
        case 0x88982F80UL:
        case 0x88982F81UL: return "the picture's pixel format cannot be converted";
        case 0x88982F8BUL: return "the picture is incomplete";
        default: return nullptr;
    }
}

[[noreturn]] void fail(const std::string& path, HRESULT hr) {
    const char* text = imagingErrorText(hr);
    throw Error("Cannot load the picture " + path + ": " + (text ? text : errorText(static_cast<DWORD>(hr))));
}

}  // namespace

std::string errorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length > 0 && buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    if (text.empty()) {
        char hex[32];
        std::snprintf(hex, sizeof hex, "error 0x%08lX", static_cast<unsigned long>(code));
        return hex;
    }
    return toUtf8(text);
}

namespace {

// A top-down 32-bit DIB section; `bits` receives its pixels.
HBITMAP createBitmap(const std::string& what, int width, int height, void*& bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) throw Error("Cannot load the picture " + what + ": " + errorText(GetLastError()));
    return bitmap;
}

}  // namespace

ui::PicturePtr makePicture(const std::string& name, int width, int height, const std::vector<std::uint32_t>& pixels) {
    void* bits = nullptr;
    HBITMAP bitmap = createBitmap(name, width, height, bits);
    auto* out = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < pixels.size() && i < static_cast<std::size_t>(width) * static_cast<std::size_t>(height); ++i)
        out[i] = (pixels[i] >> 24) != 0 ? pixels[i] : 0;  // alpha is 0 or 255: premultiplied as it stands
    GdiFlush();
    return std::make_shared<Win32Picture>(name, width, height, bitmap);
}

ui::PicturePtr loadPicture(IWICImagingFactory& factory, const std::string& path) {
    const std::wstring widePath = toWide(path);
    ComRef<IWICBitmapDecoder> decoder;
    HRESULT hr = factory.CreateDecoderFromFilename(widePath.c_str(), nullptr, GENERIC_READ,
                                                   WICDecodeMetadataCacheOnDemand, decoder.out());
    if (FAILED(hr)) fail(path, hr);
    ComRef<IWICBitmapFrameDecode> frame;
    hr = decoder->GetFrame(0, frame.out());
    if (FAILED(hr)) fail(path, hr);
    ComRef<IWICFormatConverter> converter;
    hr = factory.CreateFormatConverter(converter.out());
    if (FAILED(hr)) fail(path, hr);
    hr = converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                               WICBitmapPaletteTypeCustom);
    if (FAILED(hr)) fail(path, hr);
    UINT width = 0;
    UINT height = 0;
    hr = converter->GetSize(&width, &height);
    if (FAILED(hr)) fail(path, hr);
    if (width == 0 || height == 0) throw Error("Cannot load the picture " + path + ": it has no pixels");
    if (!ui::isLoadablePictureSize(width, height))
        throw Error("Cannot load the picture " + path + ": " + ui::oversizedPictureReason(width, height));

    void* bits = nullptr;
    HBITMAP bitmap = createBitmap(path, static_cast<int>(width), static_cast<int>(height), bits);
    const UINT stride = width * 4;
    hr = converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits));
    if (FAILED(hr)) {
        DeleteObject(bitmap);
        fail(path, hr);
    }
    GdiFlush();
    return std::make_shared<Win32Picture>(path, static_cast<int>(width), static_cast<int>(height), bitmap);
}

}  // namespace quorvel::win32
