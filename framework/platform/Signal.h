#pragma once
// Signal: an object announces an event to any number of receivers without knowing them.
// Receivers connect slots, which the signal owns; slots are called in the order they were
// connected.
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

// A callable of one argument of the signal's type.
template <typename Arg>
class SignalSlot {
 public:
  virtual ~SignalSlot() = default;
  virtual void Call(Arg argument) = 0;
};

// Calls a plain function.
template <typename Arg>
class FunctionSlot final : public SignalSlot<Arg> {
 public:
  explicit FunctionSlot(void (*function)(Arg)) : function_(function) {}
  void Call(Arg argument) override { function_(argument); }

 private:
  void (*function_)(Arg);
};

// Calls a member function (virtual or not) on a target object.
template <typename Target, typename Result, typename Arg>
class MemberSlot final : public SignalSlot<Arg> {
 public:
  using Member = Result (Target::*)(Arg);
  MemberSlot(Target* target, Member member) : target_(target), member_(member) {}
  void Call(Arg argument) override { (target_->*member_)(argument); }

 private:
  Target* target_;
  Member member_;
};

// A new slot owned by the caller until it is connected.
template <typename Target, typename Owner, typename Result, typename Arg>
SignalSlot<Arg>* MakeMemberSlot(Target* target, Result (Owner::*member)(Arg)) {
  return new MemberSlot<Owner, Result, Arg>(target, member);
}

template <typename Arg>
class Signal {
 public:
  Signal() = default;
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;

  // Takes ownership of the slot and appends it. A slot already connected is not added
  // twice (the result's second is false); the first is the slot's position. A null slot is
  // refused with position -1.
  std::pair<std::ptrdiff_t, bool> Connect(SignalSlot<Arg>* slot) {
    if (!slot) return {-1, false};
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].get() == slot) return {static_cast<std::ptrdiff_t>(i), false};
    }
    slots_.emplace_back(slot);
    return {static_cast<std::ptrdiff_t>(slots_.size() - 1), true};
  }

  // Calls every slot with the argument, in connection order. False, calling nobody, while
  // the signal is already emitting (a slot emits it again), when it is disabled or when no
  // slot is connected.
  bool Emit(Arg argument) {
    if (emitting_ || !enabled_ || slots_.empty()) return false;
    EmittingScope scope(emitting_);
    // Slots connected while emitting are called from the next emission on.
    const size_t count = slots_.size();
    for (size_t i = 0; i < count; ++i) slots_[i]->Call(argument);
    return true;
  }

  size_t SlotCount() const { return slots_.size(); }

 private:
  class EmittingScope {
   public:
    explicit EmittingScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~EmittingScope() { flag_ = false; }
    EmittingScope(const EmittingScope&) = delete;
    EmittingScope& operator=(const EmittingScope&) = delete;

   private:
    bool& flag_;
  };

  bool emitting_ = false;
  bool enabled_ = true;
  std::vector<std::unique_ptr<SignalSlot<Arg>>> slots_;
};
