#pragma once
// Helpers for the front-end tests: a syntax tree written as an S-expression built from the
// nodes' ToString, and a parse that reports the parser's own exception.
#include <string>

#include "script/compiler/ScriptNode.h"

namespace scripttest {

// "(kind[ = text] children...)", where each node's head is its ToString without the
// trailing "; ".
std::string Dump(ScriptNode* node);

// Lexes and parses text directly (no preprocessor). Returns the dump of the tree, or
// "error <ExceptionClass> <line>:<column>" when the parser or lexer throws.
std::string ParseDirect(const std::string& text);

}  // namespace scripttest
