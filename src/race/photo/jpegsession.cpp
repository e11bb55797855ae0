#include "race/photo/jpegsession.h"

#include <jerror.h>

namespace quorvel::race {
namespace {

JpegSession* sessionOf(j_common_ptr cinfo)
{
    return static_cast<JpegSession*>(cinfo->client_data);
}

void leaveSession(j_common_ptr cinfo)
{
    JpegSession* session = sessionOf(cinfo);
    session->failureCode = cinfo->err->msg_code;
    std::longjmp(session->escape, 1);
}

// Warnings (level -1) are tolerated as libjpeg intends, except the stage's fatal one.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == sessionOf(cinfo)->fatalWarning)
        leaveSession(cinfo);
}

void silent(j_common_ptr)
{
}

// Called for every row of coefficients read, so a scan beyond the limit is stopped at
// its first row.
void watchScans(j_common_ptr cinfo)
{
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
        cinfo->err->msg_code = JERR_IMAGE_TOO_BIG;
        leaveSession(cinfo);
    }
}

} // namespace

int jpegReadHeader(JpegSession* session, const unsigned char* data, unsigned long size)
{
    session->cinfo.err = jpeg_std_error(&session->errors);
    session->errors.error_exit = leaveSession;
    session->errors.emit_message = onMessage;
    session->errors.output_message = silent;
    session->cinfo.client_data = session;
    // A header cut short leaves nothing to show.
    session->fatalWarning = JWRN_JPEG_EOF;
    if (setjmp(session->escape))
        return session->failureCode;
    jpeg_create_decompress(&session->cinfo);
    session->cinfo.mem->max_memory_to_use = kJpegMemoryLimit;
    session->progress.progress_monitor = watchScans;
    session->cinfo.progress = &session->progress;
    jpeg_mem_src(&session->cinfo, data, size);
    jpeg_read_header(&session->cinfo, TRUE);
    return 0;
}

int jpegChooseScale(JpegSession* session, unsigned minWidth, unsigned minHeight)
{
    if (setjmp(session->escape))
        return session->failureCode;
    j_decompress_ptr cinfo = &session->cinfo;
    cinfo->scale_denom = 8;
    for (unsigned eighths = 1; eighths <= 8; ++eighths) {
        cinfo->scale_num = eighths;
        jpeg_calc_output_dimensions(cinfo);
        if (cinfo->output_width >= minWidth && cinfo->output_height >= minHeight)
            break;
    }
    return 0;
}

int jpegReadPixels(JpegSession* session, unsigned char* pixels, std::size_t stride)
{
    if (setjmp(session->escape))
        return session->failureCode;
    // While rows are read, the end of the data is reached early also when only the end
    // marker is missing, which loses nothing; rows that run out of coded data are the
    // fault, and libjpeg would paint them grey.
    session->fatalWarning = JWRN_HIT_MARKER;
    j_decompress_ptr cinfo = &session->cinfo;
    jpeg_start_decompress(cinfo);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW rows[16];
        const JDIMENSION first = cinfo->output_scanline;
        JDIMENSION count = cinfo->output_height - first;
        if (count > 16)
            count = 16;
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = pixels + (first + i) * stride;
        jpeg_read_scanlines(cinfo, rows, count);
    }
    jpeg_finish_decompress(cinfo);
    return 0;
}

void jpegEndSession(JpegSession* session)
{
    // Safe at any stage: destroying releases only what creation and decoding allocated.
    if (session->cinfo.err)
        jpeg_destroy_decompress(&session->cinfo);
}

} // namespace quorvel::race
