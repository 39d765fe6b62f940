#pragma once
// Drawing a line of wide text or a block of pixels into the current drawing port (the
// splash and about windows, timeline labels). Text is laid out with Pango in the port's
// text font, size and face, and drawn with cairo in its foreground colour.
#include <cstddef>

#include "toolbox/QuickDraw.h"

// Draws `count` characters of the text with the left end of its baseline at (x, y).
void DrawTextAt(int x, int y, const wchar_t* text, size_t count);
// The width in pixels of `count` characters of the text. With flag bit 0 it also draws
// them centred in the rectangle, on a baseline at its bottom.
int DrawTextCentered(const wchar_t* text, size_t count, const toolbox::Rect& rect, unsigned flags);

// Plots rows of pixels (y from 0, x from 0) into the offscreen, leaving the current port
// as it was. Depth 24: three bytes (red, green, blue) per pixel; depth 1: one byte per
// pixel, non-zero white and zero black; other depths plot nothing. Pixels outside the
// offscreen are skipped.
void PlotPixels(const unsigned char* pixels, int width, int height, int depth,
                toolbox::GWorldPtr world);

// The Pango font description of a port's text settings: its font family (the system's
// interface font when it has none, or one that is not known), its size in pixels, and bold
// and italic from its face. The caller frees it.
typedef struct _PangoFontDescription PangoFontDescription;
PangoFontDescription* PortFontDescription(toolbox::GrafPtr port);
