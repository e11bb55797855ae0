#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio> // jpeglib.h needs FILE

#include <jpeglib.h>

namespace quorvel::race {

// One decoding by libjpeg, as plain data. libjpeg reports an error by calling the error
// manager's error_exit, which must not return; ours leaves with longjmp back into the
// function below that made the library call. Those functions hold no C++ object that
// needs a destructor, and no exception ever crosses libjpeg's C frames, so leaving early
// skips nothing. Start from a zeroed session; end it with jpegEndSession in every case.
struct JpegSession {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    jpeg_progress_mgr progress;
    std::jmp_buf escape;
    int failureCode; // the library's message number of the error that ended the call
    // The one warning treated as an error at this stage: libjpeg would otherwise make up
    // the missing data (an end marker, grey rows) and call the picture good.
    int fatalWarning;
};

// What one photo may cost libjpeg. A progressive file keeps all of its coefficients in
// memory, two bytes each: a colour picture as cameras sample it (4:2:0) needs 3 bytes a
// pixel, grey 2, full colour 6 and CMYK 8. The limit lets grey and camera colour through
// at the largest picture, full colour up to about 26 megapixels; beyond it libjpeg stops
// with JERR_NO_BACKING_STORE instead of taking the memory.
inline constexpr long kJpegMemoryLimit = 160L * 1024 * 1024;
// Every scan of a progressive file passes over the whole picture, and a scan costs a few
// bytes: thousands of them in a small file would take minutes. Encoders write about ten
// (libjpeg 10 for colour, mozjpeg's searched scripts rarely beyond 20). Refused with
// JERR_IMAGE_TOO_BIG at the first scan beyond the limit.
inline constexpr int kMaxJpegScans = 32;

// Each returns 0, or the library's message number when it failed.
int jpegReadHeader(JpegSession* session, const unsigned char* data, unsigned long size);
// Sets the smallest scale of M/8 (M from 1 to 8) at which the picture is at least
// `minWidth` x `minHeight`, the whole picture when none is; the output size is then in
// session->cinfo.output_width and output_height.
int jpegChooseScale(JpegSession* session, unsigned minWidth, unsigned minHeight);
// Rows go to `pixels`, one every `stride` bytes, in the colour space already set in
// session->cinfo.out_color_space (4 bytes a pixel).
int jpegReadPixels(JpegSession* session, unsigned char* pixels, std::size_t stride);
void jpegEndSession(JpegSession* session);

} // namespace quorvel::race
