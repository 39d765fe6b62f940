#pragma once
// Basic types of the toolbox: four-character codes, statuses, QuickDraw-style points and
// rectangles, and checked handles. A handle names an object of the toolbox's model by a
// number that is never given out twice, so a handle to a disposed object fails every call
// and never compares equal to a handle of a newer object.
#include <cstdint>
#include <string>

namespace toolbox {

using OSType = std::uint32_t;
using OSStatus = std::int32_t;

constexpr OSType FourCC(const char (&s)[5]) {
  return (OSType(std::uint8_t(s[0])) << 24) | (OSType(std::uint8_t(s[1])) << 16) |
         (OSType(std::uint8_t(s[2])) << 8) | OSType(std::uint8_t(s[3]));
}

// The code as four characters (for messages and files); bytes outside printable ASCII are
// shown as '?'.
std::string FourCCText(OSType code);

// Statuses. kNoErr and kParamErr are shared with the file services, which report the
// 16-bit kind.
using OSErr = std::int16_t;
inline constexpr OSErr kNoErr = 0;
inline constexpr OSErr kParamErr = -50;
inline constexpr OSStatus kNotFoundErr = -43;
inline constexpr OSStatus kMemoryErr = -108;
inline constexpr OSStatus kEventParameterNotFoundErr = -9870;
inline constexpr OSStatus kEventNotHandledErr = -9874;
inline constexpr OSStatus kEventLoopTimedOutErr = -9875;
inline constexpr OSStatus kEventLoopQuitErr = -9876;
inline constexpr OSStatus kInvalidWindowErr = -5600;
inline constexpr OSStatus kInvalidControlErr = -30584;
inline constexpr OSStatus kInvalidMenuErr = -5623;
inline constexpr OSStatus kNibFormatErr = -10961;
inline constexpr OSStatus kWindowNotModalErr = -5609;

// QuickDraw order: vertical first.
struct Point {
  short v = 0;
  short h = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  short top = 0;
  short left = 0;
  short bottom = 0;
  short right = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

template <class Tag>
struct Handle {
  std::uint64_t id = 0;
  explicit operator bool() const { return id != 0; }
  friend bool operator==(const Handle&, const Handle&) = default;
};

struct WindowTag;
struct ControlTag;
struct MenuTag;
struct HandlerTag;
struct TimerTag;
struct DescriptorTag;
struct NibTag;
struct NavTag;
using WindowRef = Handle<WindowTag>;
using ControlRef = Handle<ControlTag>;
using MenuRef = Handle<MenuTag>;
using EventHandlerRef = Handle<HandlerTag>;
using EventLoopTimerRef = Handle<TimerTag>;
using EventLoopDescriptorRef = Handle<DescriptorTag>;
using NibRefHandle = Handle<NibTag>;
using NavDialogRef = Handle<NavTag>;  // a running file dialog

// A fresh handle number; never zero, never repeated in the life of the process.
std::uint64_t NextHandleId();

}  // namespace toolbox
