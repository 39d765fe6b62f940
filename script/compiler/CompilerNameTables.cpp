// The compiler's fixed name tables: button and clip events, the Key, Math and Number
// constants, the movie-clip properties, and the built-in functions.
#include <bit>
#include <cmath>
#include <limits>

#include "script/compiler/ScriptCompiler.h"

void ScriptCompiler::FillNameTables() {
  // Button events: the bits of a button condition word.
  static const std::pair<const char*, uint32_t> kButtonEvents[] = {
      {"rollOver", 0x0001},       {"rollOut", 0x0002},      {"press", 0x0004},
      {"release", 0x0008},        {"releaseOutside", 0x0040},
      // Out-down to over-down together with idle to over-down.
      {"dragOver", 0x00A0},
      // Over-down to out-down together with over-down to idle: the mirror of dragOver.
      {"dragOut", 0x0110},
      {"releaseOut", 0x0040},     {"menuDragOver", 0x0080}, {"menuDragOut", 0x0100},
      // Key names: the key code in bits 9 to 15.
      {"<left>", 0x0200},         {"<right>", 0x0400},      {"<home>", 0x0600},
      {"<end>", 0x0800},          {"<insert>", 0x0A00},     {"<delete>", 0x0C00},
      {"<backspace>", 0x1000},    {"<enter>", 0x1A00},      {"<up>", 0x1C00},
      {"<down>", 0x1E00},         {"<pageUp>", 0x2000},     {"<pageDown>", 0x2200},
      {"<tab>", 0x2400},          {"<escape>", 0x2600},     {"<space>", 0x4000},
  };
  for (const auto& [name, value] : kButtonEvents) buttonEvents_.emplace(name, value);

  static const std::pair<const char*, uint32_t> kClipEvents[] = {
      {"load", 0x0001},    {"enterFrame", 0x0002}, {"unload", 0x0004},
      {"mouseMove", 0x0008}, {"mouseDown", 0x0010}, {"mouseUp", 0x0020},
      {"keyDown", 0x0040}, {"keyUp", 0x0080},      {"data", 0x0100},
  };
  for (const auto& [name, value] : kClipEvents) clipEvents_.emplace(name, value);

  static const std::pair<const char*, int32_t> kKeys[] = {
      {"Key.BACKSPACE", 8}, {"Key.CAPSLOCK", 20}, {"Key.CONTROL", 17}, {"Key.DELETEKEY", 46},
      {"Key.DOWN", 40},     {"Key.END", 35},      {"Key.ENTER", 13},   {"Key.ESCAPE", 27},
      {"Key.HOME", 36},     {"Key.INSERT", 45},   {"Key.LEFT", 37},    {"Key.PGDN", 34},
      {"Key.PGUP", 33},     {"Key.RIGHT", 39},    {"Key.SHIFT", 16},   {"Key.SPACE", 32},
      {"Key.TAB", 9},       {"Key.UP", 38},
  };
  for (const auto& [name, value] : kKeys) constants_.emplace(name, std::make_unique<PushInteger>(value));

  static const std::pair<const char*, double> kNumbers[] = {
      {"Math.E", 2.718281828459045},
      {"Math.LN2", 0.6931471805599453},
      {"Math.LOG2E", 1.4426950408889634},
      {"Math.LN10", 2.302585092994046},
      {"Math.LOG10E", 0.4342944819032518},
      {"Math.PI", 3.141592653589793},
      {"Math.SQRT1_2", 0.7071067811865476},
      {"Math.SQRT2", 1.4142135623730951},
      // The quiet NaN with only the exponent bits and the top mantissa bit set.
      {"Number.NaN", std::bit_cast<double>(uint64_t{0x7FF8000000000000})},
      {"Number.NEGATIVE_INFINITY", -std::numeric_limits<double>::infinity()},
      {"Number.POSITIVE_INFINITY", std::numeric_limits<double>::infinity()},
      {"Number.MAX_VALUE", std::numeric_limits<double>::max()},
      {"Number.MIN_VALUE", std::numeric_limits<double>::denorm_min()},
  };
  for (const auto& [name, value] : kNumbers) constants_.emplace(name, std::make_unique<PushDouble>(value));

  static const char* const kProperties[] = {
      "_x",        "_y",       "_xscale",       "_yscale",     "_currentframe", "_totalframes",
      "_alpha",    "_visible", "_width",        "_height",     "_rotation",     "_target",
      "_framesloaded", "_name", "_droptarget",  "_url",        "_highquality",  "_focusrect",
      "_soundbuftime", "_quality", "_xmouse",   "_ymouse",
  };
  for (uint32_t i = 0; i < std::size(kProperties); ++i) properties_.emplace(kProperties[i], i);

  builtinFunctions_ = {
      "delete", "duplicateMovieClip", "eval", "fscommand", "getProperty", "getTimer", "getURL",
      "getVersion", "gotoAndPlay", "gotoAndStop", "hitTest", "loadMovie", "loadVariables",
      "nextFrame", "nextScene", "Number", "play", "prevFrame", "prevScene", "print",
      "printAsBitmap", "removeMovieClip", "set", "setProperty", "startDrag", "stop",
      "stopAllSounds", "stopDrag", "String", "targetPath", "toggleHighQuality", "trace",
      "typeof", "unloadMovie", "void",
  };
  noResultBuiltins_ = {
      "delete", "duplicateMovieClip", "fscommand", "getURL", "gotoAndPlay", "gotoAndStop",
      "loadMovie", "loadVariables", "nextFrame", "nextScene", "play", "prevFrame", "prevScene",
      "print", "printAsBitmap", "removeMovieClip", "set", "setProperty", "startDrag", "stop",
      "stopAllSounds", "stopDrag", "toggleHighQuality", "trace", "unloadMovie",
  };
}

uint32_t ScriptCompiler::LookupButtonEvent(std::string_view name) const {
  auto found = buttonEvents_.find(name);
  return found == buttonEvents_.end() ? 0 : found->second;
}

uint32_t ScriptCompiler::LookupClipEvent(std::string_view name) const {
  auto found = clipEvents_.find(name);
  return found == clipEvents_.end() ? 0 : found->second;
}

bool ScriptCompiler::IsKnownConstant(std::string_view name) const {
  return constants_.find(name) != constants_.end();
}

PushValue* ScriptCompiler::CloneConstant(std::string_view name) const {
  auto found = constants_.find(name);
  return found == constants_.end() ? nullptr : found->second->Clone();
}

uint32_t ScriptCompiler::GetPropertyIndex(std::string_view name) const {
  if (name.empty() || name[0] != '_') return 0;
  auto found = properties_.find(name);
  return found == properties_.end() ? 0 : found->second;
}

bool ScriptCompiler::IsProperty(std::string_view name) const {
  // Every property name starts with "_": most names are refused without a lookup.
  if (name.empty() || name[0] != '_') return false;
  return properties_.find(name) != properties_.end();
}

bool ScriptCompiler::IsBuiltinFunction(std::string_view name) const {
  return builtinFunctions_.count(name) != 0;
}

bool ScriptCompiler::IsNoResultBuiltin(std::string_view name) const {
  return noResultBuiltins_.count(name) != 0;
}
