#pragma once
// AM_MEDIA_TYPE with an owned format block, and the video types that the camera offers.
#include <dshow.h>

#include <optional>

#include "platform/camera_picture/camera_picture.h"
#include "virtual_camera/camera_settings.h"

namespace vcam {

class MediaType {
  public:
    MediaType();
    MediaType(const MediaType& other);
    MediaType& operator=(const MediaType& other);
    ~MediaType();

    // Deep copy of a type owned elsewhere; false when memory ran out.
    bool CopyFrom(const AM_MEDIA_TYPE& source);
    const AM_MEDIA_TYPE& Get() const { return type_; }
    // A CoTaskMemAlloc'd copy for a caller that frees it with DeleteMediaType rules.
    AM_MEDIA_TYPE* NewCopy() const;
    HRESULT CopyTo(AM_MEDIA_TYPE* target) const;

  private:
    AM_MEDIA_TYPE type_{};
};

// Frees the format block and the interface of a type that a caller owns, then the type itself.
void FreeMediaTypeContents(AM_MEDIA_TYPE& type);
void DeleteMediaType(AM_MEDIA_TYPE* type);

struct VideoFormat {
    PixelFormat format = PixelFormat::Yuy2;
    int width = 0;
    int height = 0;
    bool topDown = false;
    int framesPerSecond = 30;
};

GUID SubtypeOf(PixelFormat format);
DWORD CompressionOf(PixelFormat format);
// Bytes of one frame buffer: the exact image size, or the largest JPEG that is accepted.
DWORD FrameBufferSize(PixelFormat format, int width, int height);

// What the streaming thread draws for `format`.
PictureFormat PictureFormatOf(const VideoFormat& format);

MediaType MakeVideoType(const VideoFormat& format);
// Reads back what a proposed type asks for; nullopt when it is no type of this camera.
std::optional<VideoFormat> ParseVideoType(const AM_MEDIA_TYPE& type);
// True when `proposal` (possibly partial: GUID_NULL major or sub type, no format) fits `offered`.
bool TypeMatches(const AM_MEDIA_TYPE& proposal, const AM_MEDIA_TYPE& offered);

}  // namespace vcam
