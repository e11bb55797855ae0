#pragma once

#include "overlay/screen.h"

#include <array>
#include <vector>

namespace quorvel::overlay {

// Every element with its laid-out attributes, indexed by its place in the creation order.
// Auto-size labels keep their laid-out boxes here; the Screen measures them.
std::array<Element, kElementCount> laidOutElements();

// The children of an element (or of the window, frmPrincipal), in creation order.
const std::vector<El>& childrenOf(El parent);

// Panels, memos, list boxes and check boxes lie over the labels, pictures and shapes of
// the same parent.
inline bool isWindowed(Kind kind)
{
    return kind == Kind::Panel || kind == Kind::Memo || kind == Kind::ListBox || kind == Kind::CheckBox;
}

// Memos, list boxes and check boxes are the operator's alone: the window shows them, the
// pictures the mixer and the browser sources take leave them out.
inline bool isOperatorWidget(Kind kind)
{
    return kind != Kind::Panel && isWindowed(kind);
}

inline constexpr const char kLabelFace[] = "Futura Md BT";
inline constexpr const char kWindowFace[] = "Verdana";
inline constexpr int kWindowFontPixels = 11;
inline constexpr QRgb kMagenta = 0xffff00ff;
inline constexpr QRgb kWhite = 0xffffffff;
inline constexpr QRgb kOffWhite = 0xfff8f8f8;
inline constexpr QRgb kWindowText = 0xff000000;
inline constexpr QRgb kWindowColour = 0xffffffff;

} // namespace quorvel::overlay
