#pragma once

// Action codes of the map control's OnMouseAction event. uMsg carries the number of the mouse
// message that ended the gesture, in the numbering of the Windows messages the host once used
// (button up, double click, wheel), so a handler can tell the gestures apart the same way.
namespace mvx::MouseAction {

// Left button pressed and released without dragging; x, y: the pixel of the press.
inline constexpr int LeftClick = 32;
// Left button double click; x, y: the pixel.
inline constexpr int LeftDoubleClick = 33;
// Right button pressed and released without dragging; x, y: the pixel.
inline constexpr int RightClick = 34;
// A left-button drag has moved the map and ended; x, y: the pixel of the release.
inline constexpr int PanFinished = 48;
// The wheel is about to zoom the view about the pointer; setting bHandled keeps the view.
inline constexpr int WheelZoom = 64;

inline constexpr int MsgLeftButtonUp = 0x0202;
inline constexpr int MsgLeftButtonDoubleClick = 0x0203;
inline constexpr int MsgRightButtonUp = 0x0205;
inline constexpr int MsgMouseWheel = 0x020A;

}  // namespace mvx::MouseAction
