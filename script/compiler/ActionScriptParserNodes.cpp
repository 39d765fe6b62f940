// The parser's own operations: node construction, the depth limits, the call rewrite of
// member chains and the trial that tells a block from an object literal.
#include <antlr/RecognitionException.hpp>

#include <algorithm>
#include <utility>

#include "script/grammar/ActionScriptParser.hpp"

const char* const* const ActionScriptParser::kTokenNames = ActionScriptParser::tokenNames;

std::unique_ptr<ScriptNode> ActionScriptParser::Program() {
  // The nodes of one parse are made together and mostly released together.
  ScriptNodeArena arena;
  nesting_ = 0;
  lastLine_ = 0;
  blockTrials_.clear();
  firstStatement_ = {};
  statementStart_ = ScriptNodeArena::Here();
  return program().node;
}

void ActionScriptParser::TakeTopLevel(ParsedNode& root, ParsedNode statement) {
  if (!statementSink_) {
    Attach(root, std::move(statement));
    return;
  }
  // The root would be one level taller than the statement: the same limit as attaching it.
  if (statement.height + 1 > kMaxTreeHeight) TooDeep();
  const uint32_t height = statement.height;
  ParsedNode rest{statementSink_->Take(root.node.get(), std::move(statement.node)), height};
  if (rest) {
    Attach(root, std::move(rest));
  } else {
    // What the statement took is all given back: its memory serves the next one.
    ScriptNodeArena::Rewind(statementStart_);
  }
  statementStart_ = ScriptNodeArena::Here();
}

ActionScriptParser::NestingGuard::NestingGuard(ActionScriptParser& parser) : parser_(parser) {
  if (parser_.nesting_ >= kMaxNesting) parser_.TooDeep();
  ++parser_.nesting_;
}

ActionScriptParser::NestingGuard::~NestingGuard() { --parser_.nesting_; }

void ActionScriptParser::TooDeep() {
  throw NestingTooDeepException("Script nested too deeply", getFilename(), LineAhead(1),
                                ColumnAhead(1));
}

ActionScriptParser::TokenPlace ActionScriptParser::PlaceAhead() {
  return {LineAhead(1), ColumnAhead(1), LT(1)->getText()};
}

void ActionScriptParser::DeclarationWithoutName(const TokenPlace& place) {
  throw DeclarationWithoutNameException("expecting a variable name, found '" + place.text + "'", getFilename(),
                                        place.line, place.column);
}

ParsedNode ActionScriptParser::MakeNode(int32_t kind) {
  ParsedNode node{std::make_unique<ScriptNode>(kind), 0};
  node->SetLine(lastLine_);
  return node;
}

ParsedNode ActionScriptParser::MakeNode(int32_t kind, std::string_view text) {
  ParsedNode node{std::make_unique<ScriptNode>(kind, text), 0};
  node->SetLine(lastLine_);
  return node;
}

ParsedNode ActionScriptParser::MakeLeaf(int32_t kind, bool quoted) {
  std::string_view text = LastText();
  if (quoted) text = text.substr(1, text.size() - 2);
  return MakeNode(kind, text);
}

namespace {

// A construct starts on its earliest line: a node made after its last token learns the
// line of its first one from its children. A node without a line (the root) keeps none.
void TakeEarlierLine(ScriptNode* node, const ScriptNode* child) {
  if (node->GetLine() > 0 && child->GetLine() > 0 && child->GetLine() < node->GetLine())
    node->SetLine(child->GetLine());
}

}  // namespace

ParsedNode ActionScriptParser::MakeBinaryNode(int32_t kind, ParsedNode left, ParsedNode right) {
  ParsedNode node = MakeNode(kind);
  // A left-associative chain grows no taller for its length: the passes over the tree walk
  // its left side in a loop.
  if (IsLeftChainOperator(kind) && IsLeftChainOperator(left->GetKind()) && left.height > 0) --left.height;
  Attach(node, std::move(left));
  Attach(node, std::move(right));
  return node;
}

ParsedNode ActionScriptParser::Wrap(int32_t kind, ParsedNode operand) {
  ParsedNode node = MakeNode(kind);
  Attach(node, std::move(operand));
  return node;
}

void ActionScriptParser::Attach(ParsedNode& parent, ParsedNode child) {
  if (!parent || !child) return;
  const uint32_t height = std::max(parent.height, child.height + 1);
  if (height > kMaxTreeHeight) TooDeep();
  parent.height = height;
  TakeEarlierLine(parent.node.get(), child.node.get());
  parent->AddChild(child.node.release());
}

// A call directly after a plain name becomes a Function node carrying that name; a call
// after ".name" becomes a Method node carrying the name and leaves a NoOp in its place.
ParsedNode ActionScriptParser::RewriteCalls(ParsedNode value) {
  ScriptNode* chain = value.node.get();
  for (uint32_t i = 0; i + 1 < chain->ChildCount(); ++i) {
    ScriptNode* a = chain->GetChild(i);
    ScriptNode* b = chain->GetChild(i + 1);
    if (a->GetKind() == kNodeIdentifier && b->GetKind() == kNodeFunction) {
      b->SetText(a->GetText());
      TakeEarlierLine(b, a);
      chain->RemoveChild(i)->Release();
    } else if (a->GetKind() == kNodeAttribute && b->GetKind() == kNodeFunction) {
      a->SetKind(kNodeNoOp);
      b->SetKind(kNodeMethod);
      b->SetText(a->GetText());
      TakeEarlierLine(b, a);
    }
  }
  if (chain->ChildCount() == 1) {
    // The chain's height was counted with its head below it; the head alone is lower.
    ParsedNode only{std::unique_ptr<ScriptNode>(chain->RemoveChild(0)),
                    value.height > 0 ? value.height - 1 : 0};
    return only;
  }
  return value;
}

// The position of the next token as one key: its line, then its column.
uint64_t ActionScriptParser::PlaceKeyAhead() {
  return (static_cast<uint64_t>(static_cast<uint32_t>(LineAhead(1))) << 32) | static_cast<uint32_t>(ColumnAhead(1));
}

// Whether a block starts here: "{" followed by "}" or by one statement. The outcome is kept
// per position, so nested trials never repeat the work of an enclosing one.
bool ActionScriptParser::BlockAhead() {
  if (LA(1) != kLeftCurly) return false;
  if (LA(2) == kRightCurly) return true;
  const uint64_t key = PlaceKeyAhead();
  if (auto found = blockTrials_.find(key); found != blockTrials_.end()) return found->second.block;
  BlockOutcome outcome;
  std::optional<bool> matched;
  if (inputState->guessing == 0 && CanSkipAhead()) matched = FirstStatementAhead(outcome);
  if (!matched) matched = BlockTrial(outcome);
  outcome.block = *matched;
  blockTrials_[key] = std::move(outcome);
  return *matched;
}

void ActionScriptParser::RecordFailure(BlockOutcome& outcome, const antlr::RecognitionException& e) {
  outcome.error = std::current_exception();
  outcome.line = e.getLine();
  outcome.column = e.getColumn();
}

void ActionScriptParser::RethrowFurtherError(uint64_t open, const antlr::RecognitionException& e) {
  if (open != 0 && !dynamic_cast<const NestingTooDeepException*>(&e)) {
    const auto found = blockTrials_.find(open);
    if (found != blockTrials_.end() && found->second.error &&
        std::pair(found->second.line, found->second.column) > std::pair(e.getLine(), e.getColumn()))
      std::rethrow_exception(found->second.error);
  }
  throw;
}

// The trial: "{" and one statement parsed without actions, then taken back.
bool ActionScriptParser::BlockTrial(BlockOutcome& outcome) {
  struct Trial {
    ActionScriptParser& parser;
    int marker;
    explicit Trial(ActionScriptParser& p) : parser(p), marker(p.mark()) {
      ++p.inputState->guessing;
    }
    ~Trial() {
      parser.rewind(marker);
      --parser.inputState->guessing;
    }
  };
  Trial trial(*this);
  try {
    match(kLeftCurly);
    statement();
  } catch (const NestingTooDeepException&) {
    throw;
  } catch (const antlr::RecognitionException& e) {
    RecordFailure(outcome, e);
    return false;
  }
  return true;
}

// Most blocks start with a statement, which the trial would parse twice. Outside a trial it
// is parsed here with its actions instead, then the tokens are taken back and the block
// takes the statement as parsed. The same tokens follow the same path with or without
// actions, so the outcome is the trial's, except where an action meets the height limit,
// which the trial never does: then the trial decides. Empty when it has to.
std::optional<bool> ActionScriptParser::FirstStatementAhead(BlockOutcome& outcome) {
  struct Back {
    ActionScriptParser& parser;
    int marker;
    explicit Back(ActionScriptParser& p) : parser(p), marker(p.mark()) {}
    ~Back() { parser.rewind(marker); }
  };
  Back back(*this);
  const size_t open = TokenIndex();
  try {
    match(kLeftCurly);
    ParsedNode first = statement();
    firstStatement_ = {std::move(first), open, TokenIndex(), lastLine_};
  } catch (const NestingTooDeepException&) {
    return std::nullopt;
  } catch (const DeclarationWithoutNameException&) {
    return std::nullopt;
  } catch (const antlr::RecognitionException& e) {
    RecordFailure(outcome, e);
    return false;
  }
  return true;
}

// Right after the block's "{": the statement parsed ahead for it, as if parsed now.
void ActionScriptParser::TakeFirstStatement(ParsedNode& block) {
  FirstStatement& first = firstStatement_;
  if (!first.statement || !CanSkipAhead() || first.open + 1 != TokenIndex()) return;
  SkipTo(first.end, first.lastLine);
  Attach(block, std::move(first.statement));
  first.statement = {};
}
