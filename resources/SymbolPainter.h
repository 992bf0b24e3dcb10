#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace resources {

// Simple pictograms shared by the toolbar images, the kind menu images and the information-point
// icons, drawn as vector shapes so that they stay crisp at any size.
enum class Symbol {
    Play, Pause, Stop, Rewind, Forward, Plus, Minus, Magnifier, Home, Pin, LetterP, Info, Question,
    Check, Cross, ArrowUp, ArrowDown, ArrowLeft, ArrowRight, Clock, Flag, Star, Folder, Disk, Refresh,
    Gear, List, Eye, Zigzag, Chevrons, Wrench,
    Antenna, Battery, Gauge, FuelUp, FuelDown,
    Digit1, Digit2, Digit3, Digit4, Digit5, Digit6,
};

class SymbolPainter {
public:
    // Draws the symbol in the colour, filling the square `box` (a centred square when not square).
    static void draw(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color);
};

}  // namespace resources
