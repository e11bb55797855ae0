#include "race/photo/picturememory.h"

#include <gtest/gtest.h>

using quorvel::race::newPicture;

namespace {

// Small pictures come from Qt, large ones from their own mapping: both must behave as
// any QImage, through copies and the end of the first owner.
TEST(PictureMemory, LargeAndSmallPicturesBehaveAsImages)
{
    for (const QSize size : {QSize(30, 20), QSize(3000, 1000), QSize(1, 2000000)}) {
        SCOPED_TRACE(size.width());
        QImage picture = newPicture(size.width(), size.height(), QImage::Format_RGB32);
        ASSERT_EQ(picture.size(), size);
        EXPECT_EQ(picture.format(), QImage::Format_RGB32);
        EXPECT_GE(picture.bytesPerLine(), size.width() * 4);
        const uchar* memory = picture.constBits();
        picture.fill(qRgb(10, 20, 30));
        picture.setPixel(size.width() - 1, size.height() - 1, qRgb(1, 2, 3));
        EXPECT_EQ(picture.constBits(), memory); // written in place, not copied away

        QImage copy = picture;
        picture = QImage();
        EXPECT_EQ(copy.pixel(0, 0), qRgb(10, 20, 30));
        EXPECT_EQ(copy.pixel(size.width() - 1, size.height() - 1), qRgb(1, 2, 3));
        const QImage detached = copy.copy();
        copy = QImage();
        EXPECT_EQ(detached.pixel(size.width() - 1, size.height() - 1), qRgb(1, 2, 3));
    }
}

// Sizes no picture can have give a null picture, and nothing of them stays behind: a
// negative width and height multiply to the size of a large picture. (The sanitizer build
// reports any memory left.)
TEST(PictureMemory, ImpossibleSizesGiveANullPictureAndKeepNoMemory)
{
    for (const QSize size : {QSize(-2000, -2000), QSize(0, 5000000), QSize(-1, 10), QSize(3000, -1000)}) {
        SCOPED_TRACE(QString::number(size.width()).toStdString() + " x " + std::to_string(size.height()));
        EXPECT_TRUE(newPicture(size.width(), size.height(), QImage::Format_RGB32).isNull());
    }
}

} // namespace
