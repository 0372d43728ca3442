// SPDX-License-Identifier: MIT
// Components: objects owned by other objects. An owner destroys what it owns, the most recently
// created first; when a component goes away its siblings are told, so they drop their
// references to it.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace wydruki::forms {

class TObject {
 public:
  virtual ~TObject() = default;
};

// A handler slot: an optional operation; calling an unassigned slot does nothing.
template <typename... Args>
class Event {
 public:
  Event() = default;
  template <typename F>
  Event(F handler) : handler_(std::move(handler)) {}  // NOLINT: slots are assigned like values
  explicit operator bool() const { return static_cast<bool>(handler_); }
  void operator()(Args... args) const {
    if (handler_) handler_(args...);
  }

 private:
  std::function<void(Args...)> handler_;
};

using TNotifyEvent = Event<TObject*>;

enum class TOperation { opInsert, opRemove };

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::vector<TComponent*>& Components() const { return components_; }
  // Told when a component of the same owner comes or goes.
  virtual void Notification(TComponent* component, TOperation operation);
  // Destroys the owned components, the most recently created first.
  void DestroyComponents();
  bool Destroying() const { return destroying_; }
  void MarkDestroying() { destroying_ = true; }

  std::string Name;

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_;
  std::vector<TComponent*> components_;
  bool destroying_ = false;
};

}  // namespace wydruki::forms
