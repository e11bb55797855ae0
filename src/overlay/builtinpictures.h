#pragma once

#include <QImage>

namespace quorvel::overlay {

// The eight built-in pictures (the lamps are shared by both lanes).
enum class BuiltinPicture { Strip, Board, LampPrestage, LampStage, LampGreen, LampDisqualified, LampWinner, LampFoul };

// The picture from the program's resources ("/pictures/..."), which the build packs from
// the committed files. The same picture is returned as the same shared image every time,
// so twin elements share one copy and one prepared drawing.
QImage builtinPicture(BuiltinPicture which);

// Its resource path, ":/pictures/strip.png" and so on.
const char* builtinPicturePath(BuiltinPicture which);

} // namespace quorvel::overlay
