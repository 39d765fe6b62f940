#include "framework/platform/Signal.h"

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

std::vector<std::string> g_calls;

void RecordFunction(int value) { g_calls.push_back("f" + std::to_string(value)); }

class Base {
 public:
  virtual ~Base() = default;
  virtual void OnValue(int value) { g_calls.push_back("base" + std::to_string(value)); }
};

class Receiver : public Base {
 public:
  explicit Receiver(std::string name) : name_(std::move(name)) {}
  void OnValue(int value) override { g_calls.push_back(name_ + std::to_string(value)); }
  bool OnFlag(int value) {
    g_calls.push_back(name_ + "?" + std::to_string(value));
    return true;
  }

 private:
  std::string name_;
};

class SignalTest : public ::testing::Test {
 protected:
  void SetUp() override { g_calls.clear(); }
};

TEST_F(SignalTest, SlotsRunInConnectionOrder) {
  Signal<int> signal;
  EXPECT_FALSE(signal.Emit(1));  // nobody connected
  Receiver a("a"), b("b");
  // Allocate in an order unlike the connection order, so that address order cannot pass.
  SignalSlot<int>* later = MakeMemberSlot(&a, &Receiver::OnValue);
  SignalSlot<int>* first = MakeMemberSlot(&b, &Receiver::OnFlag);
  EXPECT_EQ(signal.Connect(first), std::make_pair(std::ptrdiff_t{0}, true));
  EXPECT_EQ(signal.Connect(new FunctionSlot<int>(&RecordFunction)),
            std::make_pair(std::ptrdiff_t{1}, true));
  EXPECT_EQ(signal.Connect(later), std::make_pair(std::ptrdiff_t{2}, true));
  EXPECT_EQ(signal.Connect(first), std::make_pair(std::ptrdiff_t{0}, false));  // no duplicate
  EXPECT_EQ(signal.Connect(nullptr).second, false);
  EXPECT_EQ(signal.SlotCount(), 3u);

  EXPECT_TRUE(signal.Emit(7));
  EXPECT_EQ(g_calls, (std::vector<std::string>{"b?7", "f7", "a7"}));
}

TEST_F(SignalTest, MemberSlotsCallVirtualOverrides) {
  Signal<int> signal;
  Receiver r("r");
  Base* as_base = &r;
  signal.Connect(MakeMemberSlot(as_base, &Base::OnValue));
  signal.Connect(MakeMemberSlot(&r, &Base::OnValue));  // member of a base class
  EXPECT_TRUE(signal.Emit(3));
  EXPECT_EQ(g_calls, (std::vector<std::string>{"r3", "r3"}));
}

class Reentrant {
 public:
  explicit Reentrant(Signal<int>& signal) : signal_(signal) {}
  void OnValue(int value) {
    inner_results.push_back(signal_.Emit(value + 1));
    g_calls.push_back("re" + std::to_string(value));
  }
  std::vector<bool> inner_results;

 private:
  Signal<int>& signal_;
};

TEST_F(SignalTest, EmittingFromASlotCallsNobody) {
  Signal<int> signal;
  Reentrant re(signal);
  signal.Connect(MakeMemberSlot(&re, &Reentrant::OnValue));
  signal.Connect(new FunctionSlot<int>(&RecordFunction));
  EXPECT_TRUE(signal.Emit(1));
  EXPECT_EQ(re.inner_results, std::vector<bool>{false});
  EXPECT_EQ(g_calls, (std::vector<std::string>{"re1", "f1"}));
  // The guard is cleared afterwards.
  EXPECT_TRUE(signal.Emit(5));
  EXPECT_EQ(g_calls.size(), 4u);
}

class Connector {
 public:
  explicit Connector(Signal<int>& signal) : signal_(signal) {}
  void OnValue(int) { signal_.Connect(new FunctionSlot<int>(&RecordFunction)); }

 private:
  Signal<int>& signal_;
};

TEST_F(SignalTest, ASlotConnectedWhileEmittingRunsFromTheNextEmission) {
  Signal<int> signal;
  Connector c(signal);
  signal.Connect(MakeMemberSlot(&c, &Connector::OnValue));
  EXPECT_TRUE(signal.Emit(1));
  EXPECT_TRUE(g_calls.empty());
  EXPECT_TRUE(signal.Emit(2));
  EXPECT_EQ(g_calls, std::vector<std::string>{"f2"});
}

struct Record {
  int row;
};
void NoteRow(const Record* r) { g_calls.push_back(r ? std::to_string(r->row) : "none"); }

TEST_F(SignalTest, PointerArguments) {
  Signal<const Record*> signal;
  signal.Connect(new FunctionSlot<const Record*>(&NoteRow));
  Record r{4};
  EXPECT_TRUE(signal.Emit(&r));
  EXPECT_TRUE(signal.Emit(nullptr));
  EXPECT_EQ(g_calls, (std::vector<std::string>{"4", "none"}));
}

}  // namespace
