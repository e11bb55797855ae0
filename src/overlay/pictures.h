#pragma once

#include <QImage>

namespace quorvel::overlay {

// The eight built-in pictures (the lamps are shared by both lanes).
enum class BuiltinPicture { Strip, Board, LampPrestage, LampStage, LampGreen, LampDisqualified, LampWinner, LampFoul };

// The picture from the program's resources ("/pictures/..."). Until the artwork is
// compiled in, a plain stand-in of the right size keeps the layout and the colour key
// working. The same picture is returned as the same shared image every time, so twin
// elements share one copy and one prepared drawing.
QImage builtinPicture(BuiltinPicture which);

// Its resource path, ":/pictures/strip.png" and so on.
const char* builtinPicturePath(BuiltinPicture which);

} // namespace quorvel::overlay
