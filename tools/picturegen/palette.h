#pragma once

#include <QColor>

// The colours the pictures are made of. The video mixer keys on magenta and the lamps
// are keyed on pure white, so those two must come out exact.
namespace quorvel::picturegen::palette {

inline const QColor magenta{255, 0, 255};
inline const QColor white{255, 255, 255};
inline const QColor black{0, 0, 0};

// strip
inline const QColor ground{26, 27, 29};
inline const QColor tileUpperLeft{0, 77, 183};
inline const QColor tileLowerRight{0, 71, 132};
inline const QColor cellLeft{0, 82, 200};
inline const QColor cellRight{0, 74, 138};
inline const QColor cellSeparator{12, 49, 94};
inline const QColor rowDivider{19, 40, 67};

// board
inline const QColor boardBlue{0, 51, 153};
inline const QColor boardOddRow{28, 28, 28};
inline const QColor boardEvenRow{19, 19, 19};
inline const QColor boardRowLine{0, 36, 102};
inline const QColor positionCellTop{127, 127, 127};
inline const QColor positionCellBottom{112, 112, 112};
inline const QColor positionBar{0, 86, 206};
inline const QColor timeSeparator{0, 105, 251};
inline const QColor treeAmber{255, 176, 0};
inline const QColor treeGreen{0, 214, 64};
inline const QColor treeRed{236, 32, 32};

// lamps
inline const QColor lampOutline{51, 51, 51};
inline const QColor stagingDark{4, 112, 255};
inline const QColor stagingLight{55, 181, 255};
inline const QColor greenCentre{0, 254, 1};
inline const QColor greenRim{0, 155, 50};
inline const QColor amberCentre{255, 254, 1};
inline const QColor amberRim{255, 155, 50};
inline const QColor foulCentre{255, 124, 124};
inline const QColor foulRim{255, 4, 4};
inline const QColor flagDark{79, 76, 95};
inline const QColor flagLight{232, 232, 232};

} // namespace quorvel::picturegen::palette
