#pragma once
// An ordered list of owned callbacks fired with a sender. A nested Fire of the same notifier
// (a callback that sets the value again) does not call the callbacks a second time.
#include <memory>
#include <vector>

template <typename Sender>
class ChangeCallback {
 public:
  virtual ~ChangeCallback() = default;
  virtual void Call(Sender* sender) = 0;
};

// Binds a receiver object and one of its member operations taking the sender.
template <typename Receiver, typename Sender>
class MemberCallback final : public ChangeCallback<Sender> {
 public:
  using Member = void (Receiver::*)(Sender*);
  MemberCallback(Receiver* receiver, Member member) : receiver_(receiver), member_(member) {}
  void Call(Sender* sender) override { (receiver_->*member_)(sender); }

 private:
  Receiver* receiver_;
  Member member_;
};

template <typename Sender>
class ChangeNotifier {
 public:
  ChangeNotifier() = default;
  ChangeNotifier(const ChangeNotifier&) = delete;
  ChangeNotifier& operator=(const ChangeNotifier&) = delete;

  // Takes ownership of the callback.
  void Connect(ChangeCallback<Sender>* callback) {
    if (callback) callbacks_.emplace_back(callback);
  }
  template <typename Receiver>
  void Connect(Receiver* receiver, void (Receiver::*member)(Sender*)) {
    Connect(new MemberCallback<Receiver, Sender>(receiver, member));
  }
  void SetEnabled(bool on) { enabled_ = on; }

  // Calls every callback once; false when already firing, disabled or without callbacks.
  bool Fire(Sender* sender) {
    if (firing_ || !enabled_ || callbacks_.empty()) return false;
    firing_ = true;
    for (auto& c : callbacks_) c->Call(sender);
    firing_ = false;
    return true;
  }

 private:
  bool firing_ = false;
  bool enabled_ = true;
  std::vector<std::unique_ptr<ChangeCallback<Sender>>> callbacks_;
};
