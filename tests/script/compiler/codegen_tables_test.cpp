// The compiler's name tables: exact, case-sensitive lookups and the constants' exact values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "script/compiler/ScriptCompiler.h"

namespace {

uint64_t Bits(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits;
}

TEST(CodegenTables, EventsAndProperties) {
  ScriptCompiler compiler;
  const std::pair<const char*, uint32_t> buttons[] = {
      {"releaseOutside", 0x40}, {"releaseOut", 0x40}, {"dragOver", 0xA0}, {"dragOut", 0x110},
      {"menuDragOut", 0x100},   {"<left>", 0x200},    {"<Left>", 0},      {"<space>", 0x4000},
      {"Press", 0},
  };
  for (const auto& [name, value] : buttons) EXPECT_EQ(compiler.LookupButtonEvent(name), value) << name;
  EXPECT_EQ(compiler.LookupClipEvent("enterFrame"), 2u);
  EXPECT_EQ(compiler.LookupClipEvent("EnterFrame"), 0u);
  EXPECT_EQ(compiler.LookupClipEvent("data"), 0x100u);
  EXPECT_EQ(compiler.GetPropertyIndex("_x"), 0u);
  EXPECT_EQ(compiler.GetPropertyIndex("_ymouse"), 21u);
  EXPECT_EQ(compiler.GetPropertyIndex("_z"), 0u);
  EXPECT_TRUE(compiler.IsProperty("_x"));
  EXPECT_FALSE(compiler.IsProperty("_z"));
  EXPECT_TRUE(compiler.IsBuiltinFunction("Number"));
  EXPECT_FALSE(compiler.IsBuiltinFunction("number"));
  EXPECT_TRUE(compiler.IsBuiltinFunction("void"));
  EXPECT_FALSE(compiler.IsNoResultBuiltin("void"));
  EXPECT_TRUE(compiler.IsNoResultBuiltin("trace"));
  EXPECT_FALSE(compiler.IsNoResultBuiltin("getTimer"));
}

TEST(CodegenTables, ConstantsAreFreshCopiesOfExactValues) {
  ScriptCompiler compiler;
  std::unique_ptr<PushValue> pi(compiler.CloneConstant("Math.PI"));
  ASSERT_NE(pi, nullptr);
  EXPECT_EQ(pi->Type(), 6u);
  EXPECT_EQ(pi->value.real, 3.141592653589793);
  pi.reset();
  std::unique_ptr<PushValue> again(compiler.CloneConstant("Math.PI"));
  EXPECT_EQ(again->value.real, 3.141592653589793);
  std::unique_ptr<PushValue> min(compiler.CloneConstant("Number.MIN_VALUE"));
  EXPECT_EQ(Bits(min->value.real), 1u);
  std::unique_ptr<PushValue> nan(compiler.CloneConstant("Number.NaN"));
  EXPECT_EQ(Bits(nan->value.real), 0x7FF8000000000000u);
  std::unique_ptr<PushValue> left(compiler.CloneConstant("Key.LEFT"));
  EXPECT_EQ(left->Type(), 7u);
  EXPECT_EQ(left->value.number, 37u);
  EXPECT_FALSE(compiler.IsKnownConstant("Key.left"));
  EXPECT_EQ(compiler.CloneConstant("Math.TAU"), nullptr);
}

}  // namespace
