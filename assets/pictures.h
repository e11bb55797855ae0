#pragma once

#include <QString>
#include <QStringList>

// The built-in pictures, packed into the program as Qt resources under :/pictures/.
namespace quorvel::assets {

// The resource path of a built-in picture: picturePath("strip.png") is ":/pictures/strip.png".
QString picturePath(const char* fileName);

// Every built-in picture's file name.
const QStringList& pictureFileNames();

} // namespace quorvel::assets
