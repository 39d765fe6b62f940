#include <gtest/gtest.h>
#include "script/compiler/ScriptCompiler.h"
TEST(Smoke, Parses) {
  ScriptCompiler c;
  ScriptNode* n = c.Parse("x = 1;");
  ASSERT_NE(n, nullptr) << c.GetErrorMessage();
  n->Release();
}
