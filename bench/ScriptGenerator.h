#pragma once
// Scripts for the compile benchmark: functions, loops, objects and string work, written only
// with constructs the grammar reads (every statement ends in ";", no "var" in a for..in loop,
// no strict equality, typeof with parentheses). The same line count gives the same script.
#include <cstdint>
#include <string>

namespace scriptgen {

// A script of at least `lines` lines. Each function stays far below the 64 KB a function
// body may take.
inline std::string Script(int lines) {
  std::string s;
  uint32_t x = 12345;
  auto next = [&x](uint32_t n) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    return x % n;
  };
  int written = 0;
  auto line = [&](const std::string& text) {
    s += text;
    s += '\n';
    ++written;
  };
  for (int f = 0; written < lines; ++f) {
    const std::string n = std::to_string(f);
    switch (f % 4) {
      case 0:
        line("function sum" + n + "(list, scale) {");
        line("  var total = 0;");
        line("  for (var i = 0; i < list.length; i++) {");
        line("    if (list[i] > " + std::to_string(next(100)) + " && scale != 0) { total += list[i] * scale; }");
        line("    else { total -= Math.floor(list[i] / " + std::to_string(next(9) + 1) + "); }");
        line("  }");
        line("  return total;");
        line("}");
        break;
      case 1:
        line("function label" + n + "(name, count) {");
        line("  var text = \"item \" + name.toUpperCase() + \": \" + count;");
        line("  while (text.length < " + std::to_string(next(40) + 10) + ") { text = text + \".\"; }");
        line("  var parts = text.split(\" \");");
        line("  return parts.join(\"_\").substr(0, " + std::to_string(next(20) + 1) + ");");
        line("}");
        break;
      case 2:
        line("var shape" + n + " = {x: " + std::to_string(next(500)) + ", y: " + std::to_string(next(400)) +
             ", title: \"shape " + n + "\", visible: true};");
        line("shape" + n + ".area = function (w, h) { return w * h * this.x / 2; };");
        line("for (key in shape" + n + ") { trace(key + \" = \" + shape" + n + "[key]); }");
        line("if (typeof(shape" + n + ".area) == \"function\") { shape" + n + ".size = shape" + n + ".area(" +
             std::to_string(next(50)) + ", 3); } else { shape" + n + ".size = 0; }");
        break;
      default:
        line("function step" + n + "(clip) {");
        line("  var k = 0;");
        line("  do { k++; clip._x += k % 3 == 0 ? -1 : 2; } while (k < " + std::to_string(next(30) + 1) + ");");
        line("  if (k % 4 == 0) { clip._alpha = 50; } else if (k % 4 == 1) { clip.gotoAndStop(k); } else { clip.stop(); }");
        line("  clip.onEnterFrame = function () { this._rotation += " + std::to_string(next(10) + 1) + "; };");
        line("  return k;");
        line("}");
        break;
    }
  }
  return s;
}

}  // namespace scriptgen
