// Code generation alongside the parse: the top-level function definitions become code as
// soon as they are parsed, in the order Generate would place them (hoisted in front of the
// other statements), so that the trees of a script never all exist at once.
#include <string>
#include <utility>

#include "script/compiler/GenerationHelpers.h"
#include "script/compiler/ScriptCompiler.h"

using namespace codegen;

namespace {

uint8_t* PutNumber(uint8_t* out, uint32_t n) {
  while (n >= 0x80) {
    *out++ = static_cast<uint8_t>(n | 0x80);
    n >>= 7;
  }
  *out++ = static_cast<uint8_t>(n);
  return out;
}

uint32_t GetNumber(const std::vector<uint8_t>& in, size_t& at) {
  uint32_t n = 0;
  for (int shift = 0;; shift += 7) {
    const uint8_t byte = in[at++];
    n |= uint32_t{byte & 0x7Fu} << shift;
    if (!(byte & 0x80)) return n;
  }
}

// A statement standing under `root` for as long as it is in use here, as it would stand
// under the script's root.
class Standing {
 public:
  Standing(ScriptNode* root, ScriptNode* statement) : root_(root) { root_->AddChild(statement); }
  ~Standing() { root_->RemoveChild(root_->ChildCount() - 1); }
  Standing(const Standing&) = delete;
  Standing& operator=(const Standing&) = delete;

 private:
  ScriptNode* root_;
};

}  // namespace

namespace {

// A node's head: everything but its children.
void SaveHead(const ScriptNode* node, std::vector<uint8_t>& out) {
  uint8_t head[40];
  uint8_t* p = head;
  const std::string_view text = node->GetText();
  p = PutNumber(p, text.empty() ? 1 : 2);
  p = PutNumber(p, static_cast<uint32_t>(node->GetKind()));
  p = PutNumber(p, static_cast<uint32_t>(node->GetFlag()));
  p = PutNumber(p, static_cast<uint32_t>(node->GetLine()));
  p = PutNumber(p, node->ChildCount());
  if (!text.empty()) p = PutNumber(p, static_cast<uint32_t>(text.size()));
  out.insert(out.end(), head, p);
  out.insert(out.end(), text.begin(), text.end());
}

// A node read from its head, without children, or null; `count` receives their number.
ScriptNode* LoadHead(const std::vector<uint8_t>& in, size_t& at, uint32_t& count) {
  count = 0;
  const uint32_t shape = GetNumber(in, at);
  if (shape == 0) return nullptr;
  const auto kind = static_cast<int32_t>(GetNumber(in, at));
  const auto flag = static_cast<int32_t>(GetNumber(in, at));
  const auto line = static_cast<int32_t>(GetNumber(in, at));
  count = GetNumber(in, at);
  std::string_view text;
  if (shape == 2) {
    const uint32_t size = GetNumber(in, at);
    text = std::string_view(reinterpret_cast<const char*>(in.data() + at), size);
    at += size;
  }
  auto* node = new ScriptNode(kind, text);
  node->SetFlag(flag);
  node->SetLine(line);
  return node;
}

}  // namespace

// Each node: its shape (0 for a missing child, 1 without text, 2 with text), kind, flag,
// line and number of children, then its text's size and bytes, then the children. A chain
// of operators is written down its left side in a loop, then back up over the other
// operands: the same bytes as the recursion would write.
void StreamedGeneration::Save(const ScriptNode* node, std::vector<uint8_t>& out) {
  const ScriptNode* link = nullptr;  // the deepest operator of the chain written so far
  for (const ScriptNode* at = node;;) {
    if (!at) {
      out.push_back(0);
      break;
    }
    SaveHead(at, out);
    if (IsLeftChainOperator(at->GetKind()) && at->ChildCount() > 0) {
      link = at;
      at = at->GetChild(0);
      continue;
    }
    ScriptNode* const* children = at->GetChildren();
    for (uint32_t i = 0; i < at->ChildCount(); ++i) Save(children[i], out);
    break;
  }
  for (; link; link = link == node ? nullptr : link->GetParent()) {
    ScriptNode* const* children = link->GetChildren();
    for (uint32_t i = 1; i < link->ChildCount(); ++i) Save(children[i], out);
  }
}

ScriptNode* StreamedGeneration::Load(const std::vector<uint8_t>& in, size_t& at) {
  uint32_t count = 0;
  ScriptNode* const top = LoadHead(in, at, count);
  // A chain's operators and their numbers of children, read down its left side.
  std::vector<std::pair<ScriptNode*, uint32_t>> chain;
  for (ScriptNode* node = top; node;) {
    if (IsLeftChainOperator(node->GetKind()) && count > 0) {
      chain.emplace_back(node, count);
      ScriptNode* first = LoadHead(in, at, count);
      node->AddChild(first);
      node = first;
      continue;
    }
    for (uint32_t i = 0; i < count; ++i) node->AddChild(Load(in, at));
    break;
  }
  for (auto link = chain.rbegin(); link != chain.rend(); ++link) {
    for (uint32_t i = 1; i < link->second; ++i) link->first->AddChild(Load(in, at));
  }
  return top;
}

StreamedGeneration::StreamedGeneration(ScriptCompiler& compiler, int version)
    : compiler_(compiler),
      context_(version),
      definitions_(&context_.buffers),
      scratchRoot_(new ScriptNode(kNodeArray)) {
  // The root's children array is made now, before any arena is open: made during the parse,
  // it would keep the parse's memory for as long as the root lives.
  scratchRoot_->AddChild(nullptr);
  scratchRoot_->RemoveChild(0);
}

std::unique_ptr<ScriptNode> StreamedGeneration::Take(ScriptNode* root, std::unique_ptr<ScriptNode> statement) {
  // A button's or a clip's script is refused before any code is made; after a failure the
  // parse only goes on for an error that would come first.
  if (failed_ || !root || root->GetKind() != kNodeArray || !statement) return statement;
  // Folded as a child of the root: a definition directly inside the statement (not inside
  // a block of its own) is hoisted to the root, leaving a NoOp where it stood.
  context_.scopeStack.assign(1, root);
  context_.hoisted.assign(1, {});
  compiler_.FoldKnownConstants(statement.get(), context_);
  std::vector<ScriptNode*> hoisted = std::move(context_.hoisted.back());
  context_.hoisted.clear();
  context_.scopeStack.clear();
  for (ScriptNode* definition : hoisted) Define(std::unique_ptr<ScriptNode>(definition));
  if (statement->GetKind() == kNodeDefineFunction) {
    Define(std::move(statement));
  } else {
    // Its names are known now, though they join the pool only after every definition's.
    context_.poolRecording = &statementNames_;
    {
      const Standing standing(scratchRoot_.get(), statement.get());
      compiler_.CollectPoolStrings(statement.get(), context_);
    }
    context_.poolRecording = nullptr;
    Save(statement.get(), statements_);
  }
  return nullptr;
}

void StreamedGeneration::Define(std::unique_ptr<ScriptNode> definition) {
  {
    const Standing standing(scratchRoot_.get(), definition.get());
    compiler_.CollectPoolStrings(definition.get(), context_);
  }
  if (!context_.poolUsed) {
    pending_.push_back(std::move(definition));
    return;
  }
  for (auto& waiting : pending_) Emit(waiting.get(), false);
  pending_.clear();
  Emit(definition.get(), false);
}

bool StreamedGeneration::Emit(ScriptNode* definition, bool poolComplete) {
  if (failed_) return false;
  std::vector<std::string> misses;
  context_.poolMisses = poolComplete ? nullptr : &misses;
  const uint32_t before = definitions_.Size();
  bool made = false;
  try {
    // The code is about as long as the script: its buffer is made once rather than grown
    // and copied (the part never written takes no memory).
    if (definitions_.empty() && runs_.empty()) definitions_.Reserve(compiler_.scriptText_.size());
    const Standing standing(scratchRoot_.get(), definition);
    ScriptCompiler::MarkStatements(definition);
    compiler_.EmitNode(definition, context_, definitions_);
    made = true;
  } catch (const CodeGenerationError& e) {
    context_.poolMisses = nullptr;
    // Made with the complete pool, the code may well fit: Finish decides.
    if (misses.empty()) {
      failed_ = true;
      errorMessage_ = e.what();
      errorLine_ = e.line;
      return false;
    }
  }
  context_.poolMisses = nullptr;
  if (misses.empty()) return true;
  // The definition's code is its one record, taken back.
  if (made && definitions_.Size() > before) definitions_.RemoveLast();
  runs_.push_back({std::move(definitions_), {}});
  definitions_ = RecordList(&context_.buffers);
  DefinitionRun waiting{RecordList(), {}};
  Save(definition, waiting.waiting);
  runs_.push_back(std::move(waiting));
  return true;
}

uint32_t StreamedGeneration::Finish(ScriptNode* root) {
  compiler_.codeLength_ = 0;
  compiler_.codeBytes_ = std::vector<uint8_t>();
  try {
    if (!root) return 0;
    // The other statements' names follow the definitions', in order.
    context_.AddRecordedNames(statementNames_);
    std::vector<uint8_t>().swap(statementNames_);
    // Statements the parser kept under the root itself (none from a frame script).
    compiler_.CollectPoolStrings(root, context_);
    for (auto& waiting : pending_) Emit(waiting.get(), true);
    pending_.clear();
    RecordList list(&context_.buffers);
    // The statements' code takes less room than their encoded trees.
    size_t made = definitions_.Size();
    for (const DefinitionRun& run : runs_) made += run.code.Size() + run.waiting.size();
    list.Reserve(size_t{context_.poolBytes} + 8 + made + statements_.size());
    if (context_.poolUsed) list.AppendConstantPool(context_.PoolPayload());
    // The definitions that waited for the pool come in their places, made now; they precede
    // any that failed while the script was parsed.
    for (DefinitionRun& run : runs_) {
      if (run.waiting.empty()) {
        list.Append(run.code);
        continue;
      }
      size_t at = 0;
      const std::unique_ptr<ScriptNode> definition(Load(run.waiting, at));
      std::vector<uint8_t>().swap(run.waiting);
      const Standing standing(scratchRoot_.get(), definition.get());
      compiler_.EmitNode(definition.get(), context_, list);
    }
    runs_.clear();
    if (failed_) throw CodeGenerationError(errorMessage_, errorLine_);
    list.Append(definitions_);
    // Their trees come from one arena, each in the memory of the one before.
    const ScriptNodeArena arena;
    const ScriptNodeArena::Position start = ScriptNodeArena::Here();
    size_t at = 0;
    while (at < statements_.size()) {
      {
        const std::unique_ptr<ScriptNode> statement(Load(statements_, at));
        const Standing standing(scratchRoot_.get(), statement.get());
        ScriptCompiler::MarkStatements(statement.get());
        compiler_.EmitNode(statement.get(), context_, list);
      }
      ScriptNodeArena::Rewind(start);
    }
    std::vector<uint8_t>().swap(statements_);
    for (uint32_t i = 0; i < root->ChildCount(); ++i) {
      ScriptNode* child = root->GetChild(i);
      ScriptCompiler::MarkStatements(child);
      compiler_.EmitNode(child, context_, list);
    }
    RequireResolved(list);
    if (uint64_t{list.Size()} > UINT32_MAX - 64) throw CodeGenerationError("The script is too long");
    compiler_.codeBytes_ = list.TakeBytes();
    compiler_.codeLength_ = static_cast<uint32_t>(compiler_.codeBytes_.size());
    return compiler_.codeLength_;
  } catch (const CodeGenerationError& e) {
    compiler_.RecordGenerationError(e.what(), e.line);
    compiler_.codeBytes_ = std::vector<uint8_t>();
    compiler_.codeLength_ = 0;
    return 0;
  }
}
