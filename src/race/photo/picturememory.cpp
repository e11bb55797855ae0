#include "race/photo/picturememory.h"

#include <sys/mman.h>

namespace quorvel::race {
namespace {

constexpr size_t kHugePage = 2 * 1024 * 1024;
constexpr qsizetype kMappedFrom = 4 * 1024 * 1024;

struct Mapping {
    void* address;
    size_t size;
};

void unmapPicture(void* info)
{
    auto* mapping = static_cast<Mapping*>(info);
    ::munmap(mapping->address, mapping->size);
    delete mapping;
}

} // namespace

QImage newPicture(int width, int height, QImage::Format format)
{
    const qsizetype bytesPerLine = ((qsizetype(width) * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32) * 4;
    const qsizetype size = bytesPerLine * height;
    // A negative width and height would make a positive size: refuse them before mapping.
    if (width <= 0 || height <= 0)
        return QImage();
    if (size < kMappedFrom)
        return QImage(width, height, format);
    // Aligned to huge pages, which the system may then use: a few dozen faults for a
    // camera photo instead of thousands.
    const size_t mapped = size_t(size) + kHugePage;
    void* address = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED)
        return QImage();
    const auto start = (reinterpret_cast<quintptr>(address) + kHugePage - 1) & ~quintptr(kHugePage - 1);
    ::madvise(reinterpret_cast<void*>(start), (size_t(size) + kHugePage - 1) & ~(kHugePage - 1), MADV_HUGEPAGE);
    auto* mapping = new Mapping{address, mapped};
    QImage picture(reinterpret_cast<uchar*>(start), width, height, bytesPerLine, format, unmapPicture, mapping);
    // A buffer that QImage refuses is never handed back to its cleanup.
    if (picture.isNull())
        unmapPicture(mapping);
    return picture;
}

} // namespace quorvel::race
