#include "project/MovieSettings.h"

#include "project/ChangeTracking.h"

MovieSettings::MovieSettings() { Reset(); }

void MovieSettings::Reset() {
  movie_start_action = 0;
  pause_time = 1000;
  loop = 0;
  loop_count = 1;
  end_action = 0;
  click_action = 0;
  end_target_type = 4;
  click_target_type = 4;
  click_target = L"_blank";
  click_url = L"http://";
  end_target = L"_blank";
  end_url = L"http://";
  preload = false;
  click_target_is_expression = false;
  click_url_is_expression = false;
  end_target_is_expression = false;
  end_url_is_expression = false;
}

void MovieSettings::SetStartAction(uint32_t v) { StoreCounted(movie_start_action, v); }
void MovieSettings::SetPauseTime(uint32_t ms) { StoreCounted(pause_time, static_cast<int32_t>(ms)); }
void MovieSettings::SetLoopMode(uint32_t v) { StoreCounted(loop, v); }
void MovieSettings::SetLoopCount(uint32_t v) { StoreCounted(loop_count, static_cast<int32_t>(v)); }
void MovieSettings::SetPreload(bool on) { StoreCounted(preload, on); }
void MovieSettings::SetClickAction(uint32_t v) { StoreCounted(click_action, v); }
void MovieSettings::SetClickTargetType(uint32_t v) { StoreCounted(click_target_type, v); }
void MovieSettings::SetClickTarget(const std::wstring& t) { StoreCounted(click_target, t); }
void MovieSettings::SetClickUrl(const std::wstring& t) { StoreCounted(click_url, t); }
void MovieSettings::SetClickTargetIsExpression(bool on) { StoreCounted(click_target_is_expression, on); }
void MovieSettings::SetClickUrlIsExpression(bool on) { StoreCounted(click_url_is_expression, on); }
void MovieSettings::SetEndAction(uint32_t v) { StoreCounted(end_action, v); }
void MovieSettings::SetEndTargetType(uint32_t v) { StoreCounted(end_target_type, v); }
void MovieSettings::SetEndTarget(const std::wstring& t) { StoreCounted(end_target, t); }
void MovieSettings::SetEndUrl(const std::wstring& t) { StoreCounted(end_url, t); }
void MovieSettings::SetEndTargetIsExpression(bool on) { StoreCounted(end_target_is_expression, on); }
void MovieSettings::SetEndUrlIsExpression(bool on) { StoreCounted(end_url_is_expression, on); }
