#include "virtual_camera/media_type.h"

#include <uuids.h>

#include <cstdlib>
#include <cstring>

#include "platform/four_cc.h"

namespace vcam {
namespace {

// The FourCC media subtypes all share this GUID pattern.
GUID FourCcSubtype(DWORD fourCc) {
    return GUID{fourCc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}

constexpr PixelFormat kAllFormats[] = {PixelFormat::Rgb24, PixelFormat::Yuy2, PixelFormat::I420,
                                       PixelFormat::Yv12, PixelFormat::Mjpg};

WORD BitCountOf(PixelFormat format) {
    switch (format) {
        case PixelFormat::Rgb24:
        case PixelFormat::Mjpg:
            return 24;
        case PixelFormat::Yuy2:
            return 16;
        default:
            return 12;
    }
}

}  // namespace

MediaType::MediaType() = default;

MediaType::MediaType(const MediaType& other) { CopyFrom(other.type_); }

MediaType& MediaType::operator=(const MediaType& other) {
    if (this != &other) CopyFrom(other.type_);
    return *this;
}

MediaType::~MediaType() { FreeMediaTypeContents(type_); }

bool MediaType::CopyFrom(const AM_MEDIA_TYPE& source) {
    if (&source == &type_) return true;
    AM_MEDIA_TYPE copy = source;
    copy.pbFormat = nullptr;
    copy.cbFormat = 0;
    if (source.cbFormat && source.pbFormat) {
        copy.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
        if (!copy.pbFormat) return false;
        std::memcpy(copy.pbFormat, source.pbFormat, source.cbFormat);
        copy.cbFormat = source.cbFormat;
    }
    if (copy.pUnk) copy.pUnk->AddRef();
    FreeMediaTypeContents(type_);
    type_ = copy;
    return true;
}

HRESULT MediaType::CopyTo(AM_MEDIA_TYPE* target) const {
    if (!target) return E_POINTER;
    *target = type_;
    target->pbFormat = nullptr;
    target->cbFormat = 0;
    if (type_.pUnk) type_.pUnk->AddRef();
    if (type_.cbFormat && type_.pbFormat) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(type_.cbFormat));
        if (!target->pbFormat) return E_OUTOFMEMORY;
        std::memcpy(target->pbFormat, type_.pbFormat, type_.cbFormat);
        target->cbFormat = type_.cbFormat;
    }
    return S_OK;
}

AM_MEDIA_TYPE* MediaType::NewCopy() const {
    auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!copy) return nullptr;
    if (FAILED(CopyTo(copy))) {
        DeleteMediaType(copy);
        return nullptr;
    }
    return copy;
}

void FreeMediaTypeContents(AM_MEDIA_TYPE& type) {
    CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    if (type.pUnk) {
        type.pUnk->Release();
        type.pUnk = nullptr;
    }
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return;
    FreeMediaTypeContents(*type);
    CoTaskMemFree(type);
}

GUID SubtypeOf(PixelFormat format) {
    switch (format) {
        case PixelFormat::Rgb24:
            return MEDIASUBTYPE_RGB24;
        case PixelFormat::Yuy2:
            return FourCcSubtype(MakeFourCC('Y', 'U', 'Y', '2'));
        case PixelFormat::I420:
            return FourCcSubtype(MakeFourCC('I', '4', '2', '0'));
        case PixelFormat::Yv12:
            return FourCcSubtype(MakeFourCC('Y', 'V', '1', '2'));
        case PixelFormat::Mjpg:
            return FourCcSubtype(MakeFourCC('M', 'J', 'P', 'G'));
    }
    return GUID_NULL;
}

DWORD CompressionOf(PixelFormat format) {
    switch (format) {
        case PixelFormat::Rgb24:
            return BI_RGB;
        case PixelFormat::Yuy2:
            return MakeFourCC('Y', 'U', 'Y', '2');
        case PixelFormat::I420:
            return MakeFourCC('I', '4', '2', '0');
        case PixelFormat::Yv12:
            return MakeFourCC('Y', 'V', '1', '2');
        case PixelFormat::Mjpg:
            return MakeFourCC('M', 'J', 'P', 'G');
    }
    return 0;
}

PictureFormat PictureFormatOf(const VideoFormat& format) {
    PictureLayout layout = PictureLayout::Yuy2;
    switch (format.format) {
        case PixelFormat::Rgb24:
            layout = PictureLayout::Rgb24;
            break;
        case PixelFormat::Yuy2:
            layout = PictureLayout::Yuy2;
            break;
        case PixelFormat::I420:
            layout = PictureLayout::I420;
            break;
        case PixelFormat::Yv12:
            layout = PictureLayout::Yv12;
            break;
        case PixelFormat::Mjpg:
            layout = PictureLayout::Mjpg;
            break;
    }
    return {format.width, format.height, layout, format.topDown};
}

DWORD FrameBufferSize(PixelFormat format, int width, int height) {
    const DWORD w = static_cast<DWORD>(width);
    const DWORD h = static_cast<DWORD>(height);
    switch (format) {
        case PixelFormat::Rgb24:
            return ((w * 3 + 3) & ~3u) * h;
        case PixelFormat::Yuy2:
            return w * 2 * h;
        case PixelFormat::I420:
        case PixelFormat::Yv12:
            return w * h + 2 * ((w / 2) * (h / 2));
        case PixelFormat::Mjpg:
            // Room for a JPEG of the worst content at high quality, headers included.
            return w * h * 3 + 4096;
    }
    return 0;
}

MediaType MakeVideoType(const VideoFormat& format) {
    VIDEOINFOHEADER info{};
    info.AvgTimePerFrame = 10000000LL / (format.framesPerSecond > 0 ? format.framesPerSecond : 30);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = format.width;
    const bool topDown = format.topDown && format.format == PixelFormat::Rgb24;
    info.bmiHeader.biHeight = topDown ? -format.height : format.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = BitCountOf(format.format);
    info.bmiHeader.biCompression = CompressionOf(format.format);
    info.bmiHeader.biSizeImage = FrameBufferSize(format.format, format.width, format.height);
    info.dwBitRate = static_cast<DWORD>(
        static_cast<unsigned long long>(info.bmiHeader.biSizeImage) * 8 * format.framesPerSecond);

    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Video;
    type.subtype = SubtypeOf(format.format);
    type.bFixedSizeSamples = format.format == PixelFormat::Mjpg ? FALSE : TRUE;
    type.bTemporalCompression = FALSE;
    type.lSampleSize = format.format == PixelFormat::Mjpg ? 0 : info.bmiHeader.biSizeImage;
    type.formattype = FORMAT_VideoInfo;
    type.cbFormat = sizeof(info);
    type.pbFormat = reinterpret_cast<BYTE*>(&info);
    MediaType result;
    result.CopyFrom(type);
    return result;
}

std::optional<VideoFormat> ParseVideoType(const AM_MEDIA_TYPE& type) {
    if (type.majortype != MEDIATYPE_Video || type.formattype != FORMAT_VideoInfo ||
        !type.pbFormat || type.cbFormat < sizeof(VIDEOINFOHEADER)) {
        return std::nullopt;
    }
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    for (PixelFormat format : kAllFormats) {
        if (type.subtype != SubtypeOf(format)) continue;
        VideoFormat result;
        result.format = format;
        result.width = info->bmiHeader.biWidth;
        result.height = std::abs(info->bmiHeader.biHeight);
        result.topDown = info->bmiHeader.biHeight < 0;
        if (result.topDown && format != PixelFormat::Rgb24) return std::nullopt;
        if (info->AvgTimePerFrame > 0) {
            const long long rate = (10000000LL + info->AvgTimePerFrame / 2) / info->AvgTimePerFrame;
            // Rates the camera cannot keep fall back to its usual one.
            result.framesPerSecond = rate >= 1 && rate <= 120 ? static_cast<int>(rate) : 30;
        }
        if (!IsValidFrameSize(format, result.width, result.height)) return std::nullopt;
        return result;
    }
    return std::nullopt;
}

bool TypeMatches(const AM_MEDIA_TYPE& proposal, const AM_MEDIA_TYPE& offered) {
    if (proposal.majortype != GUID_NULL && proposal.majortype != offered.majortype) return false;
    if (proposal.subtype != GUID_NULL && proposal.subtype != offered.subtype) return false;
    if (proposal.formattype == GUID_NULL || proposal.formattype == FORMAT_None) return true;
    if (proposal.formattype != offered.formattype) return false;
    if (!proposal.pbFormat || proposal.cbFormat < sizeof(VIDEOINFOHEADER)) return true;
    const auto* asked = reinterpret_cast<const VIDEOINFOHEADER*>(proposal.pbFormat);
    const auto* ours = reinterpret_cast<const VIDEOINFOHEADER*>(offered.pbFormat);
    return asked->bmiHeader.biWidth == ours->bmiHeader.biWidth &&
           asked->bmiHeader.biHeight == ours->bmiHeader.biHeight &&
           asked->bmiHeader.biCompression == ours->bmiHeader.biCompression;
}

}  // namespace vcam
