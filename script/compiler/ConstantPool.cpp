// The two passes that run over the syntax tree before any record is made (constant folding
// with function hoisting, and the collection of constant-pool strings), the pushes, and the
// emitters of number literals and folded constants.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "script/compiler/LiteralValues.h"
#include "script/compiler/ScriptCompiler.h"

namespace {

bool IsScopeKind(int32_t kind) { return kind >= kNodeArray && kind <= kNodeList; }

ScriptNode* NewNoOp() { return new ScriptNode(kNodeNoOp); }

}  // namespace

void ScriptCompiler::FoldKnownConstants(ScriptNode* node, GenerationContext& context) {
  FoldNode(node, 0, context);
}

// `index` is where the node was found among its parent's children.
void ScriptCompiler::FoldNode(ScriptNode* node, uint32_t index, GenerationContext& context) {
  if (!node) return;
  if (IsLeftChainOperator(node->GetKind())) {
    // Down the chain's left side, then back up over the other operands, in the order the
    // recursion would take; the operators themselves need nothing.
    ScriptNode* bottom = node;
    while (IsLeftChainOperator(bottom->GetKind()) && bottom->ChildCount() > 0 && bottom->GetChild(0) &&
           IsLeftChainOperator(bottom->GetChild(0)->GetKind()))
      bottom = bottom->GetChild(0);
    if (bottom != node) {
      FoldNode(bottom, 0, context);
      for (ScriptNode* link = bottom->GetParent();; link = link->GetParent()) {
        ScriptNode* const* children = link->GetChildren();
        const uint32_t count = link->ChildCount();
        for (uint32_t i = 1; i < count; ++i) FoldNode(children[i], i, context);
        if (link == node) return;
      }
    }
  }
  const bool scope = IsScopeKind(node->GetKind());
  if (scope) {
    context.scopeStack.push_back(node);
    context.hoisted.emplace_back();
  }
  // Children keep their places while they are visited: a hoisted definition leaves a NoOp
  // where it stood and joins its scope's list, placed when the scope is left.
  // Replacing a child by a NoOp writes into the same array: it can be read once.
  ScriptNode* const* children = node->GetChildren();
  const uint32_t count = node->ChildCount();
  for (uint32_t i = 0; i < count; ++i) FoldNode(children[i], i, context);

  const int32_t kind = node->GetKind();
  if (kind == kNodeString) {
    // A string literal stands for the characters its escapes denote, not for the escapes.
    const char* text = node->GetText();
    if (std::strchr(text, '\\')) {
      const std::string translated = TranslateEscapes(text, context.version);
      if (translated != text) node->SetText(translated.c_str());
    }
  } else if (kind == kNodeValue) {
    // Only a chain of exactly a name and one member is a constant: in Key.UP.toString()
    // the rest of the chain still has to run.
    if (node->ChildCount() == 2) {
      ScriptNode* first = node->GetChild(0);
      ScriptNode* second = node->GetChild(1);
      // The constants are members of Key, Math and Number: other chains need no lookup.
      const std::string_view head = first ? first->GetText() : "";
      if (first && second && first->GetKind() == kNodeIdentifier && second->GetKind() == kNodeAttribute &&
          (head == "Key" || head == "Math" || head == "Number")) {
        const std::string name = std::string(first->GetText()) + "." + second->GetText();
        if (IsKnownConstant(name)) {
          node->SetKind(kNodeConstant);
          node->SetText(name.c_str());
          first->SetKind(kNodeNoOp);
          second->SetKind(kNodeNoOp);
        }
      }
    }
  } else if (kind == kNodeDefineFunction) {
    ScriptNode* parent = node->GetParent();
    if (parent && !context.scopeStack.empty()) {
      const int32_t at = parent->GetChild(index) == node ? static_cast<int32_t>(index) : parent->IndexOfChild(node);
      if (at >= 0) {
        parent->ReplaceChild(static_cast<uint32_t>(at), NewNoOp());
        context.hoisted.back().push_back(node);
      }
    }
  } else if (kind == kNodeFunction) {
    const std::string_view name = node->GetText();
    if (name == "fscommand") {
      ScriptNode* first = node->GetChild(0);
      if (first && first->GetKind() == kNodeString)
        first->SetText(("FSCommand:" + std::string(first->GetText())).c_str());
    } else if (name == "print" || name == "printAsBitmap") {
      ScriptNode* second = node->GetChild(1);
      if (second) {
        const std::string t = second->GetText();
        const std::string prefix = name == "print" ? "print:" : "printasbitmap:";
        second->SetText((t == "bmovie" ? prefix : prefix + "#" + t).c_str());
      }
    }
  }

  if (scope) {
    // The scope's definitions go first, in the order they were met, before its other
    // children: taken off from the end and added back, nothing is shifted.
    std::vector<ScriptNode*> definitions = std::move(context.hoisted.back());
    context.hoisted.pop_back();
    context.scopeStack.pop_back();
    if (!definitions.empty()) {
      std::vector<ScriptNode*> children(node->ChildCount());
      for (uint32_t i = static_cast<uint32_t>(children.size()); i-- > 0;) children[i] = node->RemoveChild(i);
      for (ScriptNode* definition : definitions) node->AddChild(definition);
      for (ScriptNode* child : children) node->AddChild(child);
    }
  }
}

void ScriptCompiler::CollectPoolStrings(ScriptNode* node, GenerationContext& context) {
  if (!node) return;
  const int32_t kind = node->GetKind();
  // Only names and literals have text that matters here.
  const bool named = kind == kNodeString || (kind >= kNodeIdentifier && kind <= kNodeDefineVariable);
  const std::string_view text = named ? node->GetText() : std::string_view();
  const uint32_t count = node->ChildCount();
  ScriptNode* const* children = node->GetChildren();
  const bool getProperty = kind == kNodeFunction && text == "getProperty";
  if (getProperty) context.nameStack.push_back("getProperty");

  auto forward = [&] {
    for (uint32_t i = 0; i < count; ++i) CollectPoolStrings(children[i], context);
  };
  if (IsLeftChainOperator(kind) && count > 0 && children[0] && IsLeftChainOperator(children[0]->GetKind())) {
    // Down the chain's left side, then back up over the other operands.
    ScriptNode* bottom = children[0];
    while (bottom->ChildCount() > 0 && bottom->GetChild(0) && IsLeftChainOperator(bottom->GetChild(0)->GetKind()))
      bottom = bottom->GetChild(0);
    CollectPoolStrings(bottom, context);
    for (ScriptNode* link = bottom->GetParent();; link = link->GetParent()) {
      ScriptNode* const* operands = link->GetChildren();
      const uint32_t n = link->ChildCount();
      for (uint32_t i = 1; i < n; ++i) CollectPoolStrings(operands[i], context);
      if (link == node) return;
    }
  }
  auto backward = [&] {
    for (uint32_t i = count; i-- > 0;) CollectPoolStrings(children[i], context);
  };

  switch (kind) {
    case kNodeNoOp:
      break;
    case kNodeValue:
      for (uint32_t i = count; i-- > 0;) {
        ScriptNode* child = children[i];
        if (child && child->GetKind() == kNodeFunction) CollectPoolStrings(child, context);
      }
      for (uint32_t i = 0; i < count; ++i) {
        ScriptNode* child = children[i];
        if (child && child->GetKind() != kNodeFunction) CollectPoolStrings(child, context);
      }
      break;
    case kNodeString:
    case kNodeDefineVariable:
      context.AddPoolString(text);
      break;
    case kNodeIdentifier: {
      ScriptNode* parent = node->GetParent();
      const int32_t parentKind = parent ? parent->GetKind() : -1;
      if (parentKind == kNodeOnClipEvent && LookupClipEvent(text) != 0) break;
      if (parentKind == kNodeOn && LookupButtonEvent(text) != 0) break;
      if (IsProperty(text)) {
        if (parentKind == kNodeValue && !context.ContainsName("getProperty")) context.AddPoolString(text);
      } else if (text != "true" && text != "false" && text != "null") {
        context.AddPoolString(text);
      }
      break;
    }
    case kNodeAttribute:
    case kNodeMethod:
    case kNodeNewObject:
      backward();
      context.AddPoolString(text);
      break;
    case kNodeFunction:
      if (!IsBuiltinFunction(text)) {
        forward();
        if (!text.empty()) context.AddPoolString(text);
      } else if (text == "fscommand") {
        context.AddPoolString("FSCommand:");
        forward();
      } else if (text == "getURL" || text == "loadMovie" || text == "loadVariables") {
        if (count > 0) CollectPoolStrings(node->GetChild(0), context);
        if (count > 1) CollectPoolStrings(node->GetChild(1), context);
        if (count == 1) context.AddPoolString("");
      } else if (text == "gotoAndPlay" || text == "gotoAndStop") {
        if (count > 1) CollectPoolStrings(node->GetChild(1), context);
      } else if (text == "print" || text == "printAsBitmap") {
        backward();
      } else {
        forward();
      }
      break;
    case kNodeDefineArray:
      backward();
      break;
    case kNodeDefineFunction:
      if (count > 0) CollectPoolStrings(node->GetChild(count - 1), context);
      break;
    default:
      forward();
      break;
  }

  if (getProperty) context.nameStack.pop_back();
}

void ScriptCompiler::AppendPushValue(RecordList& records, const PushItem& value) { records.AppendPush(value); }

void ScriptCompiler::AppendIntegerValue(RecordList& records, int64_t n) {
  if (n == 0) AppendPushValue(records, PushItem::Double(0.0));
  else if (n >= INT32_MIN && n <= INT32_MAX) AppendPushValue(records, PushItem::Integer(static_cast<int32_t>(n)));
  else AppendPushValue(records, PushItem::Double(static_cast<double>(n)));
}

void ScriptCompiler::PushPooledString(RecordList& records, GenerationContext& context,
                                      std::string_view text) {
  const int32_t index = context.PoolIndexOf(text);
  if (context.poolUsed && index != -1) {
    AppendPushValue(records, PushItem::Constant(static_cast<uint32_t>(index)));
  } else {
    AppendPushValue(records, PushItem::String(text));
    if (context.poolMisses && context.poolUsed) context.poolMisses->emplace_back(text);
  }
}

void ScriptCompiler::EmitConstant(ScriptNode* node, GenerationContext&, RecordList& records) {
  const std::string_view name = node->GetText();
  const auto found = constants_.find(name);
  if (found == constants_.end()) throw CodeGenerationError("unknown constant " + std::string(name));
  AppendPushValue(records, PushItem::Of(found->second->value));
  if (node->GetFlag() == 1) records.AppendAction(kActionPop);
}

void ScriptCompiler::EmitNumber(ScriptNode* node, GenerationContext&, RecordList& records) {
  const char* text = node->GetText();
  const std::string_view view = text;
  if (view == "0") AppendPushValue(records, PushItem::Double(0.0));
  else if (IsHexLiteral(view) || !IsFractionalLiteral(view)) AppendPushValue(records, IntegerLiteralValue(view, false));
  else AppendPushValue(records, PushItem::Double(std::atof(text)));
  if (node->GetFlag() == 1) records.AppendAction(kActionPop);
}
