// Calls of bare names: the built-in functions that compile to dedicated actions, and
// ordinary function calls.
#include <cstring>
#include <string>
#include <string_view>

#include "script/compiler/GenerationHelpers.h"
#include "script/compiler/LiteralValues.h"
#include "script/compiler/ScriptCompiler.h"

using namespace codegen;

namespace {

void AppendAction(RecordList& records, uint32_t opcode) { records.AppendAction(opcode); }

void AppendOperand(RecordList& records, uint32_t opcode, int64_t operand) {
  records.AppendOperand(opcode, static_cast<int32_t>(operand));
}

bool IsKind(ScriptNode* node, int32_t kind) { return node && node->GetKind() == kind; }

bool IsGet(std::string_view text) { return text == "get" || text == "GET"; }
bool IsPost(std::string_view text) { return text == "post" || text == "POST"; }

}  // namespace

void ScriptCompiler::EmitOrdinaryCall(ScriptNode* node, GenerationContext& context, RecordList& records) {
  const uint32_t n = node->ChildCount();
  for (uint32_t i = n; i-- > 0;) EmitNode(node->GetChild(i), context, records);
  AppendIntegerValue(records, n);
  PushPooledString(records, context, node->GetText());
  AppendAction(records, kActionCallFunction);
}

void ScriptCompiler::EmitBuiltinCall(ScriptNode* node, GenerationContext& context, RecordList& records) {
  const std::string_view name = node->GetText();
  const uint32_t n = node->ChildCount();
  if (!IsBuiltinFunction(name)) {
    EmitOrdinaryCall(node, context, records);
    if (node->GetFlag() == 1) AppendAction(records, kActionPop);
    return;
  }

  auto arg = [&](uint32_t i) { return node->GetChild(i); };
  auto text = [&](uint32_t i) { return std::string_view(node->GetChild(i)->GetText()); };
  auto compile = [&](uint32_t i) { EmitNode(node->GetChild(i), context, records); };
  auto compileAll = [&] {
    for (uint32_t i = 0; i < n; ++i) compile(i);
  };
  // A built-in reads a fixed set of arguments; a missing one is an error, not a crash.
  auto need = [&](uint32_t count) {
    if (n < count)
      throw CodeGenerationError("too few arguments to " + std::string(name) + ": " + std::to_string(count) +
                                (count == 1 ? " is" : " are") + " needed");
  };
  auto pushText = [&](std::string_view t) { PushPooledString(records, context, t); };

  if (name == "delete") {
    need(1);
    compile(0);
    const uint32_t last = LastOpcode(records);
    if (last == kActionGetVariable) {
      RemoveLast(records);
      AppendAction(records, kActionDelete2);
    } else if (last == kActionGetMember) {
      RemoveLast(records);
      AppendAction(records, kActionDelete);
    } else {
      throw CodeGenerationError("delete needs a variable or member");
    }
  } else if (name == "duplicateMovieClip") {
    need(3);
    compile(0);
    compile(1);
    if (IsKind(arg(2), kNodeNumber)) {
      const int64_t depth = LiteralAsInteger(text(2)) + 16384;
      AppendPushValue(records, PushItem::Integer(static_cast<int32_t>(static_cast<uint32_t>(depth))));
    } else {
      AppendPushValue(records, PushItem::Integer(16384));
      compile(2);
      AppendAction(records, kActionAdd2);
    }
    AppendAction(records, kActionCloneSprite);
  } else if (name == "eval") {
    need(1);
    compile(0);
    ScriptNode* parent = node->GetParent();
    bool read = false;
    if (IsKind(parent, kNodeValue)) {
      const int32_t index = parent->IndexOfChild(node);
      if (index >= 0 && static_cast<uint32_t>(index) + 1 < parent->ChildCount()) {
        ScriptNode* next = parent->GetChild(static_cast<uint32_t>(index) + 1);
        read = !IsKind(next, kNodeMethod) && !IsKind(next, kNodeFunction);
      }
    } else {
      read = n == 1 && !IsKind(arg(0), kNodeNumber) && !IsKind(arg(0), kNodeString);
    }
    if (read) AppendAction(records, kActionGetVariable);
  } else if (name == "fscommand") {
    // fscommand("quit") is common: a missing argument is the empty string.
    need(1);
    const bool command = IsKind(arg(0), kNodeString);
    const bool argumentText = n < 2 || IsKind(arg(1), kNodeString);
    const std::string_view argument = n < 2 ? std::string_view() : text(1);
    auto compileArgument = [&] {
      if (n < 2) pushText(argument);
      else compile(1);
    };
    if (command && argumentText) {
      records.AppendGetUrl(text(0), argument);
    } else if (command) {
      pushText(text(0));
      compileArgument();
      AppendOperand(records, kActionGetURL2, 0);
    } else {
      pushText("FSCommand:");
      compile(0);
      AppendAction(records, kActionStringAdd);
      compileArgument();
      AppendOperand(records, kActionGetURL2, 0);
    }
  } else if (name == "getProperty") {
    need(2);
    compile(0);
    AppendPushValue(records, PushItem::Integer(static_cast<int32_t>(GetPropertyIndex(text(1)))));
    AppendAction(records, kActionGetProperty);
  } else if (name == "getTimer") {
    AppendAction(records, kActionGetTime);
  } else if (name == "getURL") {
    if (n == 1) {
      if (IsKind(arg(0), kNodeString)) {
        records.AppendGetUrl(text(0), "");
      } else {
        compile(0);
        pushText("");
        AppendOperand(records, kActionGetURL2, 0);
      }
    } else if (n == 2) {
      if (IsKind(arg(0), kNodeString) && IsKind(arg(1), kNodeString)) {
        records.AppendGetUrl(text(0), text(1));
      } else {
        compile(0);
        compile(1);
        AppendOperand(records, kActionGetURL2, 0);
      }
    } else if (n == 3) {
      compile(0);
      compile(1);
      AppendOperand(records, kActionGetURL2, IsGet(text(2)) ? 1 : IsPost(text(2)) ? 2 : 0);
    }
  } else if (name == "getVersion") {
    AppendPushValue(records, PushItem::String("/:$version"));
    AppendAction(records, kActionGetVariable);
  } else if (name == "gotoAndPlay" || name == "gotoAndStop") {
    need(1);
    const bool play = name == "gotoAndPlay";
    const uint32_t last = n - 1;
    if (IsKind(arg(last), kNodeNumber)) {
      AppendOperand(records, kActionGotoFrame, static_cast<uint16_t>(LiteralAsInteger(text(last)) - 1));
      if (play) AppendAction(records, kActionPlay);
    } else {
      compile(last);
      AppendOperand(records, kActionGotoFrame2, play ? 1 : 0);
    }
  } else if (name == "hitTest") {
    EmitOrdinaryCall(node, context, records);
  } else if (name == "loadMovie") {
    if (n == 2) {
      if (IsKind(arg(1), kNodeNumber)) {
        const std::string level = "_level" + std::string(text(1));
        if (IsKind(arg(0), kNodeString)) {
          records.AppendGetUrl(text(0), level);
        } else {
          // A computed URL into a level: a "_level" window target loads into that level.
          compile(0);
          pushText(level);
          AppendOperand(records, kActionGetURL2, 0);
        }
      } else {
        compile(0);
        compile(1);
        AppendOperand(records, kActionGetURL2, 0x40);
      }
    } else if (n == 3) {
      compile(0);
      compile(1);
      AppendOperand(records, kActionGetURL2, IsGet(text(2)) ? 0x41 : 0x42);
    }
  } else if (name == "loadVariables") {
    if (n == 2) {
      compile(0);
      compile(1);
      AppendOperand(records, kActionGetURL2, 0xC0);
    } else if (n == 3) {
      compile(0);
      compile(1);
      AppendOperand(records, kActionGetURL2, IsGet(text(2)) ? 0xC1 : 0xC2);
    }
  } else if (name == "nextFrame") {
    AppendAction(records, kActionNextFrame);
  } else if (name == "nextScene" || name == "prevScene") {
    AppendOperand(records, kActionGotoFrame, 0);
  } else if (name == "Number") {
    need(1);
    compile(0);
    AppendAction(records, kActionToNumber);
  } else if (name == "play") {
    AppendAction(records, kActionPlay);
  } else if (name == "prevFrame") {
    AppendAction(records, kActionPrevFrame);
  } else if (name == "print" || name == "printAsBitmap") {
    need(2);
    pushText(text(1));
    compile(0);
    AppendOperand(records, kActionGetURL2, 0);
  } else if (name == "removeMovieClip") {
    need(1);
    compileAll();
    AppendAction(records, kActionRemoveSprite);
  } else if (name == "set") {
    need(2);
    compileAll();
    AppendAction(records, kActionSetVariable);
  } else if (name == "setProperty") {
    need(3);
    compile(0);
    // Only the property argument stands for a property number; the value argument reads
    // properties as usual.
    context.nameStack.push_back("setProperty");
    compile(1);
    context.nameStack.pop_back();
    for (uint32_t i = 2; i < n; ++i) compile(i);
    AppendAction(records, kActionSetProperty);
  } else if (name == "startDrag") {
    if (n >= 6) {
      for (uint32_t i = 2; i <= 5; ++i) compile(i);
      AppendPushValue(records, PushItem::Integer(1));
      compile(1);
    } else if (n == 2) {
      AppendIntegerValue(records, 0);
      compile(1);
    } else if (n == 1) {
      AppendIntegerValue(records, 0);
      AppendIntegerValue(records, 0);
    } else {
      throw CodeGenerationError("startDrag takes a target, a lock flag and four bounds");
    }
    compile(0);
    AppendAction(records, kActionStartDrag);
  } else if (name == "stop") {
    AppendAction(records, kActionStop);
  } else if (name == "stopAllSounds") {
    AppendAction(records, kActionStopSounds);
  } else if (name == "stopDrag") {
    AppendAction(records, kActionEndDrag);
  } else if (name == "String") {
    need(1);
    compile(0);
    AppendAction(records, kActionToString);
  } else if (name == "targetPath") {
    need(1);
    compileAll();
    AppendAction(records, kActionTargetPath);
  } else if (name == "toggleHighQuality") {
    AppendAction(records, kActionToggleQuality);
  } else if (name == "trace") {
    need(1);
    compileAll();
    AppendAction(records, kActionTrace);
  } else if (name == "typeof") {
    need(1);
    compileAll();
    AppendAction(records, kActionTypeOf);
  } else if (name == "unloadMovie") {
    need(1);
    if (IsKind(arg(0), kNodeNumber)) {
      records.AppendGetUrl("", "_level" + std::string(text(0)));
    } else {
      AppendPushValue(records, PushItem::String(""));
      compile(0);
      AppendOperand(records, kActionGetURL2, 0x40);
    }
  } else if (name == "void") {
    // Each argument's value is dropped, then undefined is the result.
    for (uint32_t i = 0; i < n; ++i) {
      compile(i);
      AppendAction(records, kActionPop);
    }
    AppendPushValue(records, PushItem::Undefined());
  }

  if (node->GetFlag() == 1 && !IsNoResultBuiltin(name)) AppendAction(records, kActionPop);
}
