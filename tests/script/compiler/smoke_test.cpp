#include <gtest/gtest.h>
#include <fstream>
#include <iostream>
#include "ScriptTestSupport.h"
TEST(Explore, Print) {
  std::ifstream in("/tmp/explore.txt");
  std::string line;
  while (std::getline(in, line)) std::cout << line << "\n   => " << scripttest::ParseDirect(line) << "\n";
}
