// One whole process compiling one script file (UTF-8) for SWF 6, for timing and peak memory
// from outside (compare.py). Prints the length of the compiled code; "--generate N" prints a
// generated script of N lines instead.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "ScriptGenerator.h"
#include "script/compiler/CompileScript.h"
#include "toolbox/Utf8.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--generate") == 0) {
    std::fputs(scriptgen::Script(std::atoi(argv[2])).c_str(), stdout);
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s script.as | --generate lines\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ScriptCompileError error;
  std::unique_ptr<DoActionTag> tag(CompileScriptToDoAction(toolbox::Utf8ToWide(text), 6, &error));
  if (!tag) {
    std::fprintf(stderr, "%s\n", error.message.c_str());
    return 1;
  }
  // The held code's length: counting the actions would read them into objects.
  std::printf("%zu bytes of actions\n", tag->actions.GetEncoded().size());
  return 0;
}
