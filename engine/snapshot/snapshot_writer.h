#pragma once
// Saves a decoded picture as a JPEG file: the picture is converted to packed 24-bit pixels with
// libswscale, compressed in memory with TurboJPEG (4:4:4, quality 80) and written to the file.
// Nothing here keeps state between calls; any thread may call it.

#include <cstdint>
#include <vector>

struct AVFrame;

// Compresses packed 24-bit pixels (rows of B, G, R bytes, 3 × width bytes apart) into `out`.
// Returns 0 with the JPEG's byte count in *sizeOut, negative on failure, including a JPEG that
// would not fit in `capacity` bytes.
int CompressToJpeg(unsigned char* out, int capacity, unsigned long* sizeOut,
                   const unsigned char* bgrPixels, int width, int height);

// Converts the top-left width × height pixels of `picture` and compresses them into `out`.
// The picture's own width, height and pixel format (planar YUV 4:2:0 when the format is unset)
// describe its planes; a larger width or height than the picture's is cropped to the picture,
// so the planes are never read beyond their rows. Returns 0 on success, -1 on failure.
int EncodeSnapshot(unsigned char* out, int capacity, unsigned long* sizeOut,
                   const AVFrame* picture, int width, int height);

// Writes `picture` (cropped as for EncodeSnapshot) as a JPEG file at `path`, replacing a file of
// that name. The output buffer holds width × height × 5 bytes, so a JPEG larger than that is a
// failure. The bytes go to a temporary file in the same folder that is renamed over `path` once
// complete: on failure (1 = written, 0 = not) no file and no partial file is left behind.
int WriteSnapshotJpeg(const AVFrame* picture, int width, int height, const char* path);
// As above, with `segment` (a whole JPEG marker segment, such as an EXIF APP1 one) placed after
// the JPEG's opening JFIF segment.
int WriteSnapshotJpeg(const AVFrame* picture, int width, int height, const char* path,
                      const std::vector<uint8_t>& segment);
