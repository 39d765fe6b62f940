#pragma once
// Small services around the operating system: the version queries of the start-up
// requirements, the local date and time, opening a file or a document with another
// program, and the storage of a bound callback.
#include <cstddef>
#include <cstdint>

#include "framework/platform/PathString.h"

// The version queries have no meaning on Linux. The system reports itself as Mac OS X
// 10.4.9, so that the Mac OS X behaviour (standard alerts and sheets, line feeds) is the
// one in use and the start-up requirements pass.
inline constexpr uint32_t kReportedSystemVersion = 0x1049;
uint32_t GetSystemVersion();
bool IsMacOSX();
bool IsClassicSystem();
bool IsLaunchServicesAvailable();
bool IsCarbonLibAvailable();
// 0: there is no CarbonLib to query.
uint32_t GetCarbonLibVersion();

// The local date and time in the system's time zone.
class LocalDateTime {
 public:
  // Takes the current time.
  void Now();
  void Update();
  // The fields for an absolute time (seconds since 1 January 2001, 00:00 UTC).
  void UpdateAt(double absoluteTime);
  int32_t Day() const { return day_; }
  int32_t Year() const { return year_; }
  int32_t Month() const { return month_; }
  int32_t Hour() const { return hour_; }
  int32_t Minute() const { return minute_; }
  int32_t Second() const { return second_; }
  double AbsoluteTime() const { return absoluteTime_; }

 private:
  double absoluteTime_ = 0;
  int32_t month_ = 0, day_ = 0, year_ = 0, hour_ = 0, minute_ = 0, second_ = 0;
};

// Opens the file with the user's default application for it; true when the request was
// handed over.
bool OpenFileViaFinder(const PathString& path);
// Opens the document with the given application (a program started with the document as
// its one argument); true when it was started.
bool OpenDocumentWithApp(const PathString& document, const PathString& application);

// Storage for a bound callback: up to 32 bytes of a callable (a member-function pointer or
// a function pointer), then the receiver.
struct CallbackStorage {
  alignas(void*) unsigned char callable[32] = {};
  void* receiver = nullptr;
};
// With a receiver: the receiver and `size` bytes of the callable; without: the callable
// pointer itself in the first word. False, storing nothing, when `size` passes 32 bytes.
bool InitCallbackStorage(CallbackStorage& storage, void* receiver, const void* callable, size_t size);
