// One whole process compiling one script file (UTF-8) for SWF 6, for timing and peak memory
// from outside (compare.py). Prints the length of the compiled code; "--generate N" prints a
// generated script of N lines instead.
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
  // The file is read in one piece of its size, and its UTF-8 goes once it is converted.
  std::string text;
  if (std::FILE* file = std::fopen(argv[1], "rb")) {
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    text.resize(size > 0 ? static_cast<size_t>(size) : 0);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
  }
  std::wstring script = toolbox::Utf8ToWide(text);
  std::string().swap(text);
  ScriptCompileError error;
  std::unique_ptr<DoActionTag> tag(CompileScriptToDoAction(script, 6, &error));
  if (!tag) {
    std::fprintf(stderr, "%s\n", error.message.c_str());
    return 1;
  }
  // The held code's length: counting the actions would read them into objects.
  std::printf("%zu bytes of actions\n", tag->actions.GetEncoded().size());
  return 0;
}
