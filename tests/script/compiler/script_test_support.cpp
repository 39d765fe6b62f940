#include "ScriptTestSupport.h"

#include <antlr/MismatchedTokenException.hpp>
#include <antlr/NoViableAltException.hpp>
#include <antlr/TokenStreamException.hpp>

#include <memory>
#include <sstream>

#include "script/grammar/ActionScriptLexer.hpp"
#include "script/grammar/ActionScriptParser.hpp"

namespace scripttest {

std::string Dump(ScriptNode* node) {
  if (!node) return "null";
  std::string head = node->ToString();
  if (head.size() >= 2 && head.compare(head.size() - 2, 2, "; ") == 0) head.resize(head.size() - 2);
  std::string out = "(" + head;
  for (uint32_t i = 0; i < node->ChildCount(); ++i) out += " " + Dump(node->GetChild(i));
  return out + ")";
}

std::string ParseDirect(const std::string& text) {
  std::istringstream in(text, std::ios::in | std::ios::binary);
  ActionScriptLexer lexer(in);
  ActionScriptParser parser(lexer);
  try {
    std::unique_ptr<ScriptNode> root = parser.Program();
    return Dump(root.get());
  } catch (const antlr::MismatchedTokenException& e) {
    return "error MismatchedToken " + std::to_string(e.getLine()) + ":" + std::to_string(e.getColumn());
  } catch (const antlr::NoViableAltException& e) {
    return "error NoViableAlt " + std::to_string(e.getLine()) + ":" + std::to_string(e.getColumn());
  } catch (const antlr::RecognitionException& e) {
    return "error Recognition " + std::to_string(e.getLine()) + ":" + std::to_string(e.getColumn()) +
           " " + e.getMessage();
  } catch (const antlr::TokenStreamException& e) {
    return "error TokenStream " + e.getMessage();
  }
}

}  // namespace scripttest
