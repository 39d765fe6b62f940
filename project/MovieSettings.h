#pragma once
// What the generated movie does when it starts, loops, ends and is clicked.
#include <cstdint>
#include <string>

#include "generation/PreloaderSettings.h"
#include "publish/PopupSettings.h"

class XmlWriter;
class XmlValue;

class MovieSettings {
 public:
  MovieSettings();
  MovieSettings(const MovieSettings&) = delete;
  MovieSettings& operator=(const MovieSettings&) = delete;

  // Every field but the preloader and the popup records.
  void Reset();

  void SetStartAction(uint32_t value);
  void SetPauseTime(uint32_t ms);
  void SetLoopMode(uint32_t value);
  void SetLoopCount(uint32_t value);
  void SetPreload(bool on);
  void SetClickAction(uint32_t value);
  void SetClickTargetType(uint32_t value);
  void SetClickTarget(const std::wstring& text);
  void SetClickUrl(const std::wstring& text);
  void SetClickTargetIsExpression(bool on);
  void SetClickUrlIsExpression(bool on);
  void SetEndAction(uint32_t value);
  void SetEndTargetType(uint32_t value);
  void SetEndTarget(const std::wstring& text);
  void SetEndUrl(const std::wstring& text);
  void SetEndTargetIsExpression(bool on);
  void SetEndUrlIsExpression(bool on);

  bool WriteXml(XmlWriter& writer) const;
  bool ReadXml(const XmlValue& value);
  // The children of the movie element: "preload_data", "mouse_click_action" and
  // "movie_end_action" (with their "popup_data"); project and preset files share them.
  void WriteChildrenXml(XmlWriter& writer) const;

  PreloaderSettings preloader;
  uint32_t movie_start_action = 0;
  int32_t pause_time = 1000;
  uint32_t loop = 0;
  int32_t loop_count = 1;
  uint32_t end_action = 0;
  uint32_t click_action = 0;
  uint32_t end_target_type = 4;
  uint32_t click_target_type = 4;
  PopupSettings click_popup;
  PopupSettings end_popup;
  std::wstring click_target;
  std::wstring click_url;
  std::wstring end_target;
  std::wstring end_url;
  bool preload = false;
  bool click_target_is_expression = false;
  bool click_url_is_expression = false;
  bool end_target_is_expression = false;
  bool end_url_is_expression = false;
};
