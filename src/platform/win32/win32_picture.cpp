#include "platform/win32/win32_picture.h"

#include <wincodec.h>

#include <cstdio>
#include <memory>

#include "platform/win32/wide.h"
#include "ui/display_scale.h"
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
    // Some decoders answer damaged data with the bare "call failed".
    const char* text = hr == E_FAIL ? "the picture data is damaged or not in a format that can be read"
                                    : imagingErrorText(hr);
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

Win32Picture::~Win32Picture() {
    DeleteObject(bitmap_);
    for (const Variant& variant : variants_)
        if (variant.bitmap) DeleteObject(variant.bitmap);
}

HBITMAP Win32Picture::scaled(int targetWidth, int targetHeight, bool crispEdges) const {
    for (const Variant& variant : variants_)
        if (variant.bitmap && variant.width == targetWidth && variant.height == targetHeight &&
            variant.crisp == crispEdges)
            return variant.bitmap;
    void* bits = nullptr;
    HBITMAP copy = createDibSection(targetWidth, targetHeight, bits);
    if (!copy) return nullptr;
    ui::resamplePicture(static_cast<const std::uint32_t*>(bits_), width(), height(), static_cast<std::uint32_t*>(bits),
                        targetWidth, targetHeight, crispEdges);
    GdiFlush();
    Variant& slot = variants_[nextVariant_];
    nextVariant_ = (nextVariant_ + 1) % variants_.size();
    if (slot.bitmap) DeleteObject(slot.bitmap);
    slot = {targetWidth, targetHeight, crispEdges, copy};
    return copy;
}

HBITMAP createDibSection(int width, int height, void*& bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && !bits) {
        DeleteObject(bitmap);
        return nullptr;
    }
    return bitmap;
}

namespace {

// A DIB section for a picture; throws naming `what` when the system has none to give.
HBITMAP createBitmap(const std::string& what, int width, int height, void*& bits) {
    HBITMAP bitmap = createDibSection(width, height, bits);
    if (!bitmap) throw Error("Cannot load the picture " + what + ": " + errorText(GetLastError()));
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
    return std::make_shared<Win32Picture>(name, width, height, bitmap, bits);
}

DWORD readWholeFile(const std::string& path, std::string& content, const char*& step) {
    content.clear();
    step = "open";
    HANDLE file = CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    step = "read";
    DWORD code = 0;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1LL << 30))
        content.reserve(static_cast<std::size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) {
            code = GetLastError();
            break;
        }
        if (read == 0) break;
        content.append(buffer, read);
    }
    CloseHandle(file);
    return code;
}

ui::PicturePtr loadPicture(IWICImagingFactory& factory, const std::string& path, std::string& scratch) {
    const char* step = nullptr;
    if (const DWORD code = readWholeFile(path, scratch, step))
        throw Error("Cannot load the picture " + path + ": " + errorText(code));
    if (scratch.size() > 0xFFFFFFFFu) throw Error("Cannot load the picture " + path + ": the file is too large");
    ComRef<IWICStream> stream;
    HRESULT hr = factory.CreateStream(stream.out());
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromMemory(reinterpret_cast<BYTE*>(scratch.data()), static_cast<DWORD>(scratch.size()));
    if (FAILED(hr)) fail(path, hr);
    ComRef<IWICBitmapDecoder> decoder;
    hr = factory.CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.out());
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
    return std::make_shared<Win32Picture>(path, static_cast<int>(width), static_cast<int>(height), bitmap, bits);
}

namespace {

// The text of an HRESULT; one that wraps a system error code is told by that code.
std::string resultText(HRESULT hr) {
    if (const char* text = imagingErrorText(hr)) return text;
    if (HRESULT_FACILITY(hr) == FACILITY_WIN32) return errorText(static_cast<DWORD>(HRESULT_CODE(hr)));
    return errorText(static_cast<DWORD>(hr));
}

// The encoder of a format and the pixel format its frames are given in: 0xAARRGGBB pixels
// lie in memory as blue, green, red, alpha; BMP and JPEG take them without the alpha byte,
// GIF as indexes into a palette of its own.
struct Encoding {
    GUID container;
    WICPixelFormatGUID pixels;
};

Encoding encodingFor(ui::ImageFormat format) {
    switch (format) {
        case ui::ImageFormat::Png: return {GUID_ContainerFormatPng, GUID_WICPixelFormat32bppBGRA};
        case ui::ImageFormat::Gif: return {GUID_ContainerFormatGif, GUID_WICPixelFormat8bppIndexed};
        case ui::ImageFormat::Jpeg: return {GUID_ContainerFormatJpeg, GUID_WICPixelFormat24bppBGR};
        case ui::ImageFormat::Bmp: break;
    }
    return {GUID_ContainerFormatBmp, GUID_WICPixelFormat24bppBGR};
}

// Writes the opaque `bitmap` into `frame` as 8-bit indexes into a palette of its 256 most
// telling colours, which the imaging component chooses: a GIF holds no more.
HRESULT writeIndexed(IWICImagingFactory& factory, IWICBitmapFrameEncode& frame, IWICBitmap& bitmap) {
    constexpr UINT kGifColours = 256;
    ComRef<IWICPalette> palette;
    HRESULT hr = factory.CreatePalette(palette.out());
    if (SUCCEEDED(hr)) hr = palette->InitializeFromBitmap(&bitmap, kGifColours, FALSE);
    ComRef<IWICFormatConverter> indexed;
    if (SUCCEEDED(hr)) hr = factory.CreateFormatConverter(indexed.out());
    if (SUCCEEDED(hr))
        hr = indexed->Initialize(&bitmap, GUID_WICPixelFormat8bppIndexed, WICBitmapDitherTypeNone, palette.get(), 0.0,
                                 WICBitmapPaletteTypeCustom);
    if (SUCCEEDED(hr)) hr = frame.SetPalette(palette.get());
    if (SUCCEEDED(hr)) hr = frame.WriteSource(indexed.get(), nullptr);
    return hr;
}

// Encodes the image into the file at `file`.
HRESULT encode(IWICImagingFactory& factory, const ui::WindowImage& image, const std::wstring& file,
               ui::ImageFormat format) {
    ComRef<IWICStream> stream;
    HRESULT hr = factory.CreateStream(stream.out());
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE);
    if (FAILED(hr)) return hr;
    ComRef<IWICBitmapEncoder> encoder;
    const Encoding encoding = encodingFor(format);
    hr = factory.CreateEncoder(encoding.container, nullptr, encoder.out());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.out(), options.out());
    if (SUCCEEDED(hr)) hr = frame->Initialize(options.get());
    const auto width = static_cast<UINT>(image.width);
    const auto height = static_cast<UINT>(image.height);
    if (SUCCEEDED(hr)) hr = frame->SetSize(width, height);
    WICPixelFormatGUID pixelFormat = encoding.pixels;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&pixelFormat);
    if (FAILED(hr)) return hr;
    const UINT sourceStride = width * 4;
    auto* source = reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(image.pixels.data()));
    if (IsEqualGUID(pixelFormat, GUID_WICPixelFormat32bppBGRA)) {
        hr = frame->WritePixels(height, sourceStride, sourceStride * height, source);
    } else if (IsEqualGUID(pixelFormat, GUID_WICPixelFormat24bppBGR)) {
        // Drop the fourth byte.
        const UINT stride = (width * 3 + 3) & ~3u;
        std::vector<BYTE> rows(static_cast<std::size_t>(stride) * height);
        for (UINT y = 0; y < height; ++y) {
            const BYTE* from = source + static_cast<std::size_t>(y) * sourceStride;
            BYTE* to = rows.data() + static_cast<std::size_t>(y) * stride;
            for (UINT x = 0; x < width; ++x, from += 4, to += 3) {
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
            }
        }
        hr = frame->WritePixels(height, stride, static_cast<UINT>(rows.size()), rows.data());
    } else {
        // Indexes, or another format offered by the encoder: let the imaging component
        // convert. Only a PNG keeps the alpha.
        ComRef<IWICBitmap> bitmap;
        hr = factory.CreateBitmapFromMemory(width, height, GUID_WICPixelFormat32bppBGR, sourceStride,
                                            sourceStride * height, source, bitmap.out());
        if (SUCCEEDED(hr) && IsEqualGUID(pixelFormat, GUID_WICPixelFormat8bppIndexed))
            hr = writeIndexed(factory, *frame.get(), *bitmap.get());
        else if (SUCCEEDED(hr))
            hr = frame->WriteSource(bitmap.get(), nullptr);
    }
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    return hr;  // the stream closes the file as it goes out of scope
}

// File times count 100-nanosecond steps from 1601; these seconds count from 1970.
constexpr ULONGLONG kTicksPerSecond = 10'000'000;
constexpr ULONGLONG kSecondsFrom1601To1970 = 11'644'473'600;

// Sets the file's modification time; 0, or the system's error code.
DWORD setModified(const std::wstring& file, long long seconds) {
    HANDLE handle = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    const ULONGLONG ticks = (static_cast<ULONGLONG>(seconds) + kSecondsFrom1601To1970) * kTicksPerSecond;
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const DWORD code = SetFileTime(handle, nullptr, nullptr, &time) ? 0 : GetLastError();
    CloseHandle(handle);
    return code;
}

}  // namespace

long long wallClockSeconds() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<long long>(ticks / kTicksPerSecond - kSecondsFrom1601To1970);
}

void saveImageFile(IWICImagingFactory& factory, const std::string& path, const ui::WindowImage& image,
                   ui::ImageFormat format, long long modifiedSeconds) {
    const std::string prefix = "Cannot save the window image to " + path + ": ";
    if (path.empty()) throw Error("Cannot save the window image to a file with an empty name");
    const std::wstring target = toWide(path);
    const std::wstring temporary = target + L".tmp";
    const auto failed = [&](const std::string& reason) {
        DeleteFileW(temporary.c_str());
        return Error(prefix + reason);
    };
    const HRESULT hr = encode(factory, image, temporary, format);
    if (FAILED(hr)) throw failed(resultText(hr));
    if (const DWORD code = setModified(temporary, modifiedSeconds)) throw failed(errorText(code));
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) throw failed(errorText(GetLastError()));
}

}  // namespace quorvel::win32
