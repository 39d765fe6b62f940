#pragma once
// Offscreen pixel buffers, copies between ports and multi-stop colour gradients. Offscreens
// are the toolbox's graphics worlds: 32-bit pixels stored as words 0xAARRGGBB.
#include <cstdint>
#include <memory>
#include <vector>

#include "toolbox/QuickDraw.h"

// A new offscreen of bounds (0, 0, width, height) at the depth, with a black foreground and
// a white background; the current port is left as it was. False, with *offscreen
// untouched, when it cannot be made.
bool CreateOffscreen(toolbox::GWorldPtr* offscreen, int width, int height, int depth);
// Disposes of the offscreen and clears the handle; true.
bool DisposeOffscreen(toolbox::GWorldPtr* offscreen);
// Sets the top-left width x height block (clipped to the offscreen) to opaque grey `level`.
void LockOffscreenPixels(toolbox::GWorldPtr offscreen, int width, int height, int level);
// Copies the source rectangle to the destination rectangle, scaling when the sizes differ;
// only pixels inside both ports take part.
void OffscreenBlit(toolbox::GrafPtr source, const toolbox::Rect& sourceRect,
                   toolbox::GrafPtr destination, const toolbox::Rect& destinationRect);

struct GradientStop {
  float position = 0;     // 0.0 to 1.0 along the gradient
  std::uint32_t color = 0;  // 0x00BBGGRR
};

class GradientFill {
 public:
  GradientFill() = default;
  ~GradientFill() { Clear(); }
  GradientFill(const GradientFill&) = delete;
  GradientFill& operator=(const GradientFill&) = delete;

  // A stop at a position already used takes the new colour; otherwise a new stop is added
  // in position order. Positions are clamped to [0, 1]; NaN counts as 0.
  GradientStop* AddStop(float position, std::uint32_t color);
  void SetTwoStops(std::uint32_t first, std::uint32_t last);
  void Clear() { stops.clear(); }
  const std::vector<std::unique_ptr<GradientStop>>& Stops() const { return stops; }
  void SetLinear(bool on) { linear = on; }

  // Paints the rectangle (offscreen pixel coordinates; pixels outside the offscreen are
  // left alone): the linear gradient left to right when `linear` or forceLinear is set,
  // otherwise the radial gradient from the rectangle's centre over half its width.
  void Render(toolbox::GWorldPtr offscreen, const toolbox::Rect& rect, bool forceLinear);

  // The colour ramp of n entries (0x00BBGGRR) the gradients draw from; empty without stops
  // or for n <= 0.
  std::vector<std::uint32_t> BuildRamp(int n) const;
  void RenderRadial(toolbox::GWorldPtr offscreen, const toolbox::Rect& rect, int cx, int cy,
                    float scale) const;
  void RenderLinear(toolbox::GWorldPtr offscreen, const toolbox::Rect& rect, double angle,
                    float start, float end, int ox, int oy) const;

 private:
  std::vector<std::unique_ptr<GradientStop>> stops;
  bool linear = false;
};
