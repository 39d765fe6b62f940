#pragma once
// Drawing ports on cairo image surfaces: offscreen pixel buffers ("graphics worlds") with
// a foreground and background colour and a text font, size and face, one current port, and
// rectangle copies with scaling.
//
// Every port stores 32 bits per pixel as one native word 0xAARRGGBB (cairo's ARGB32, alpha
// premultiplied): alpha in the high byte, then red, green and blue. Rows are
// RowWords(port) words apart.
#include <cstdint>

#include "toolbox/Controls.h"
#include "toolbox/Types.h"

typedef struct _cairo_surface cairo_surface_t;

namespace toolbox {

struct GrafPort;
using GrafPtr = GrafPort*;
using GWorldPtr = GrafPort*;

// A new offscreen of the given bounds (its top-left is the origin of its pixel
// coordinates) and depth (1, 2, 4, 8, 16, 24 or 32; every depth is stored as 32-bit
// pixels). kParamErr for an empty or too large rectangle or an unknown depth; kMemoryErr
// when the buffer cannot be made.
OSStatus NewGWorld(GWorldPtr* outWorld, short depth, const Rect& bounds);
// Disposing of the current port makes the screen port current.
void DisposeGWorld(GWorldPtr world);

// The current port; the screen port (a port without pixels) when none was set.
void GetGWorld(GrafPtr* port);
void SetGWorld(GrafPtr port);  // null: the screen port
GrafPtr GetScreenPort();

// The current port's colours and text state.
void RGBForeColor(const RGBColor& color);
void RGBBackColor(const RGBColor& color);
inline constexpr long kBlackColor = 33;
inline constexpr long kWhiteColor = 30;
void ForeColor(long classicColor);
void BackColor(long classicColor);
RGBColor GetForeColor();
RGBColor GetBackColor();
void TextFont(short family);
void TextSize(short size);
void TextFace(std::uint16_t face);
short GetPortTextFont(GrafPtr port);
short GetPortTextSize(GrafPtr port);
std::uint16_t GetPortTextFace(GrafPtr port);

// Fills the rectangle of the current port with its background colour (clipped).
void EraseRect(const Rect& r);

Rect GetPortBounds(GrafPtr port);  // (0, 0, height, width) of the pixels
short GetPortDepth(GrafPtr port);
// Pixel access: null for the screen port or a null port.
bool LockPixels(GrafPtr port);
void UnlockPixels(GrafPtr port);
std::uint32_t* GetPixBaseAddr(GrafPtr port);
int RowWords(GrafPtr port);
// The cairo surface behind the port (null for the screen port), for drawing services.
cairo_surface_t* GetPortSurface(GrafPtr port);

// Copies the source rectangle to the destination rectangle, scaled to it by nearest
// pixel, replacing what was there. Both rectangles are clipped to their ports: only
// pixels inside the destination port are written, only pixels inside the source are read.
OSStatus CopyBits(GrafPtr source, GrafPtr destination, const Rect& sourceRect,
                  const Rect& destinationRect);

}  // namespace toolbox
