// SPDX-License-Identifier: MIT
#include "Forms/Component.h"

#include <algorithm>

namespace wydruki::forms {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->InsertComponent(this);
}

TComponent::~TComponent() {
  destroying_ = true;
  DestroyComponents();
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    // The destructor takes the component out of the list.
    delete components_.back();
  }
}

void TComponent::InsertComponent(TComponent* component) {
  components_.push_back(component);
  for (TComponent* sibling : components_) {
    if (sibling != component) sibling->Notification(component, TOperation::opInsert);
  }
}

void TComponent::RemoveComponent(TComponent* component) {
  components_.erase(std::remove(components_.begin(), components_.end(), component),
                    components_.end());
  Notification(component, TOperation::opRemove);
  for (TComponent* sibling : components_) sibling->Notification(component, TOperation::opRemove);
}

}  // namespace wydruki::forms
