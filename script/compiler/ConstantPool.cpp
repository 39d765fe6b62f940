// The two passes that run over the syntax tree before any record is made (constant folding
// with function hoisting, and the collection of constant-pool strings), the pushes, and the
// emitters of number literals and folded constants.
#include <cmath>
#include <cstdlib>

#include "script/compiler/LiteralValues.h"
#include "script/compiler/ScriptCompiler.h"

namespace {

bool IsScopeKind(int32_t kind) { return kind >= kNodeArray && kind <= kNodeList; }

ScriptNode* NewNoOp() { return new ScriptNode(kNodeNoOp); }

}  // namespace

void ScriptCompiler::FoldKnownConstants(ScriptNode* node, GenerationContext& context) {
  if (!node) return;
  const bool scope = IsScopeKind(node->GetKind());
  if (scope) {
    context.scopeStack.push_back(node);
    context.insertCounters.push_back(0);
  }
  // Hoisting inserts definitions into scopes while their children are visited. Insertions
  // into this node land before the child being visited, so the next child is found by
  // counting them rather than by re-reading the same index.
  for (uint32_t i = 0; i < node->ChildCount();) {
    const uint32_t before = node->ChildCount();
    FoldKnownConstants(node->GetChild(i), context);
    const uint32_t after = node->ChildCount();
    i += 1 + (after > before ? after - before : 0);
  }

  const int32_t kind = node->GetKind();
  if (kind == kNodeString) {
    // A string literal stands for the characters its escapes denote, not for the escapes.
    const std::string text = node->GetText();
    const std::string translated = TranslateEscapes(text, context.version);
    if (translated != text) node->SetText(translated.c_str());
  } else if (kind == kNodeValue) {
    // Only a chain of exactly a name and one member is a constant: in Key.UP.toString()
    // the rest of the chain still has to run.
    if (node->ChildCount() == 2) {
      ScriptNode* first = node->GetChild(0);
      ScriptNode* second = node->GetChild(1);
      if (first && second && first->GetKind() == kNodeIdentifier &&
          second->GetKind() == kNodeAttribute) {
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
      const int32_t index = parent->IndexOfChild(node);
      if (index >= 0) {
        parent->ReplaceChild(static_cast<uint32_t>(index), NewNoOp());
        ScriptNode* scope = context.scopeStack.back();
        uint32_t& counter = context.insertCounters.back();
        if (!scope->InsertChild(counter, node)) scope->AddChild(node);
        ++counter;
      }
    }
  } else if (kind == kNodeFunction) {
    const std::string name = node->GetText();
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
    context.scopeStack.pop_back();
    context.insertCounters.pop_back();
  }
}

void ScriptCompiler::CollectPoolStrings(ScriptNode* node, GenerationContext& context) {
  if (!node) return;
  const int32_t kind = node->GetKind();
  const std::string text = node->GetText();
  const uint32_t count = node->ChildCount();
  const bool getProperty = kind == kNodeFunction && text == "getProperty";
  if (getProperty) context.nameStack.push_back("getProperty");

  auto forward = [&] {
    for (uint32_t i = 0; i < node->ChildCount(); ++i) CollectPoolStrings(node->GetChild(i), context);
  };
  auto backward = [&] {
    for (uint32_t i = count; i-- > 0;) CollectPoolStrings(node->GetChild(i), context);
  };

  switch (kind) {
    case kNodeNoOp:
      break;
    case kNodeValue:
      for (uint32_t i = count; i-- > 0;) {
        ScriptNode* child = node->GetChild(i);
        if (child && child->GetKind() == kNodeFunction) CollectPoolStrings(child, context);
      }
      for (uint32_t i = 0; i < count; ++i) {
        ScriptNode* child = node->GetChild(i);
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

void ScriptCompiler::AppendRecord(RecordList& records, CodeRecord* record) {
  records.emplace_back(record);
}

void ScriptCompiler::AppendPushValue(RecordList& records, PushValue* value) {
  std::unique_ptr<PushValue> owned(value);
  const uint32_t size = owned->Size();
  // An ActionPush's length field is 16 bits: a value that would carry it past 65535 bytes
  // starts a new ActionPush.
  if (size > kMaxFieldLength) throw CodeGenerationError("string longer than 65533 bytes");
  if (!records.empty() && records.back()->opcode == kActionPush) {
    auto* push = static_cast<PushRecord*>(records.back().get());
    if (push->PayloadLength() + size <= kMaxFieldLength) {
      push->Append(owned.release());
      return;
    }
  }
  records.emplace_back(new PushRecord(owned.release()));
}

void ScriptCompiler::AppendIntegerValue(RecordList& records, int64_t n) {
  if (n == 0) AppendPushValue(records, new PushDouble(0.0));
  else if (n >= INT32_MIN && n <= INT32_MAX) AppendPushValue(records, new PushInteger(static_cast<int32_t>(n)));
  else AppendPushValue(records, new PushDouble(static_cast<double>(n)));
}

void ScriptCompiler::PushPooledString(RecordList& records, GenerationContext& context,
                                      const std::string& text) {
  const int32_t index = context.PoolIndexOf(text);
  if (context.poolUsed && index != -1)
    AppendPushValue(records, new PushConstant(static_cast<uint32_t>(index)));
  else
    AppendPushValue(records, new PushString(text));
}

void ScriptCompiler::EmitConstant(ScriptNode* node, GenerationContext&, RecordList& records) {
  const std::string name = node->GetText();
  if (!IsKnownConstant(name)) throw CodeGenerationError("unknown constant " + name);
  AppendPushValue(records, CloneConstant(name));
  if (node->GetFlag() == 1) AppendRecord(records, new OpcodeRecord(kActionPop));
}

void ScriptCompiler::EmitNumber(ScriptNode* node, GenerationContext&, RecordList& records) {
  const std::string text = node->GetText();
  if (text == "0") AppendPushValue(records, new PushDouble(0.0));
  else if (IsHexLiteral(text) || !IsFractionalLiteral(text)) AppendPushValue(records, IntegerLiteralValue(text, false));
  else AppendPushValue(records, new PushDouble(text));
  if (node->GetFlag() == 1) AppendRecord(records, new OpcodeRecord(kActionPop));
}
