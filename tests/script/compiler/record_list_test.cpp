// Record lists read their own bytes again when an emitter takes back records whose layout
// they no longer hold: the result must be the list as if those records had never come.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/compiler/CodeRecords.h"

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

TEST(RecordList, RecordsTakenBackOneAfterAnother) {
  // push "a", GetVariable, function f() { push 1; Pop }, push 2 and true, GetMember.
  RecordList body;
  body.AppendPush(PushItem::Integer(1));
  body.AppendAction(kActionPop);
  RecordList list;
  list.AppendPush(PushItem::String("a"));
  list.AppendAction(kActionGetVariable);
  list.AppendDefineFunction("f", {}, body);
  list.AppendPush(PushItem::Integer(2));
  list.AppendPush(PushItem::Boolean(true));
  list.AppendAction(kActionGetMember);

  list.RemoveLast();  // GetMember: the push before it is known
  EXPECT_EQ(list.LastOpcode(), kActionPush);
  // The last value of a push reached by taking back is read again from the bytes.
  EXPECT_EQ(list.LastPushValue().type, SwfPushValue::kBoolean);
  list.ReplaceLastPushValue(PushItem::String("0"));
  EXPECT_EQ(Hex(list.Bytes()).substr(50), "9608000702000000003000");
  list.RemoveLast();  // the push: the function before it is found by reading the list
  EXPECT_EQ(list.LastOpcode(), kActionDefineFunction);
  list.RemoveLast();  // the function with its body
  EXPECT_EQ(list.LastOpcode(), kActionGetVariable);
  list.AppendPush(PushItem::Integer(3));  // a new push, not joined to the first
  EXPECT_EQ(Hex(list.Bytes()), "96030000" "61" "00" "1C" "96050007" "03000000");
  list.RemoveLast();
  list.RemoveLast();
  list.AppendPush(PushItem::Null());  // joins the first push again
  EXPECT_EQ(Hex(list.Bytes()), "960400006100" "02");
}

TEST(RecordList, NothingJoinsOrIsTakenBackAcrossAJoin) {
  // A branch's list ends with a push and a get; the code after the join starts anew.
  RecordList branch;
  branch.AppendPush(PushItem::String("a"));
  branch.AppendAction(kActionGetVariable);
  RecordList list;
  list.AppendPush(PushItem::Integer(1));
  list.Append(branch);
  list.MarkJoin();
  EXPECT_EQ(list.LastOpcode(), 0u);
  list.RemoveLast();  // refused: the get belongs to one branch only
  list.AppendPush(PushItem::Null());
  EXPECT_EQ(Hex(list.Bytes()), "96050007" "01000000" "960300006100" "1C" "96010002");
  // Taking back what follows the join leaves the join at the end again.
  list.RemoveLast();
  EXPECT_EQ(list.LastOpcode(), 0u);
  list.AppendPush(PushItem::Boolean(true));
  EXPECT_EQ(Hex(list.Bytes()).substr(30), "9602000501");
  // A list that ends at a join keeps it when appended, to an empty list or after records.
  RecordList whole, after;
  branch.AppendPush(PushItem::String("b"));
  branch.MarkJoin();
  whole.Append(branch);
  EXPECT_TRUE(whole.AtJoin());
  after.AppendAction(kActionPop);
  after.Append(whole);
  EXPECT_TRUE(after.AtJoin());
  after.AppendPush(PushItem::Null());
  EXPECT_EQ(Hex(after.Bytes()), "17" "960300006200" "96010002");
}

}  // namespace
