#pragma once
// Arithmetic of the segment display's paint: outline pen colours and the
// placement of the cells in the client area.

#include "SegmentChar.h"
#include "controls/ColorRef.h"

#include <vector>

// Each byte trunc(0.75 * segment + 0.25 * background): the outline is a
// little darker than the segment it surrounds, so edges look soft.
ColorRef SoftOutlineColor(ColorRef segment, ColorRef back);

// Device rectangles, left to right, for cells of the given glyph widths in a
// cw x ch client area. With keepAspect one scale serves both directions and
// the text is centred; otherwise the cells stretch to fill the area.
std::vector<SegmentRect> LayoutSegmentCells(const std::vector<int>& widths, int cw, int ch, bool keepAspect);
