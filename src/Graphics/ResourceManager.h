// SPDX-License-Identifier: MIT
// The program-wide caches through which fonts, pens and brushes with equal descriptions share
// one reference-counted system object.
#pragma once

#include <cstdint>
#include <vector>

#include "Base/CriticalSection.h"
#include "Graphics/Descriptions.h"
#include "platform/winapi.h"

namespace wydruki::graphics {

// One cache entry: the description, how many objects use it, and its system object, made only
// when a canvas first needs it (or adopted from outside, and then owned by the cache).
template <typename Description>
struct SharedResource {
  SharedResource* next = nullptr;
  std::int32_t reference_count = 0;
  HGDIOBJ handle = nullptr;
  std::uint16_t hash = 0;
  Description description;
};

template <typename Description>
class TResourceManager {
 public:
  using Entry = SharedResource<Description>;

  TResourceManager() = default;
  // Entries still in use when the program ends give their system objects back.
  ~TResourceManager() {
    while (head_ != nullptr) {
      Entry* entry = head_;
      head_ = entry->next;
      if (entry->handle != nullptr) DeleteObject(entry->handle);
      delete entry;
    }
  }
  TResourceManager(const TResourceManager&) = delete;
  TResourceManager& operator=(const TResourceManager&) = delete;

  // The entry for `description`, made when there is none; its count goes up by one. A
  // description read from a handle that an entry already owns is taken as a copy, without
  // that handle: one system object never has two owners, so releasing one entry cannot
  // delete the handle of another.
  Entry* AcquireResource(const Description& given) {
    CriticalSection::Guard guard(&lock_);
    Description description = given;
    std::uint16_t hash = description.Hash();
    Entry* entry = Find(description, hash);
    if (entry == nullptr && description.origin != nullptr && OwnedHandle(description.origin)) {
      description.origin = nullptr;
      hash = description.Hash();
      entry = Find(description, hash);
    }
    if (entry == nullptr) {
      entry = new Entry;
      entry->handle = description.origin;
      entry->hash = hash;
      entry->description = description;
      entry->next = head_;
      head_ = entry;
      ++count_;
    }
    ++entry->reference_count;
    return entry;
  }

  // Counts the entry down; the last user's release unlinks the entry under the lock and
  // deletes its system object outside this call's own hold of it.
  void ReleaseResource(Entry* entry) {
    if (entry == nullptr) return;
    bool last = false;
    {
      CriticalSection::Guard guard(&lock_);
      if (--entry->reference_count == 0) {
        last = true;
        Entry** link = &head_;
        while (*link != nullptr && *link != entry) link = &(*link)->next;
        if (*link == entry) *link = entry->next;
        --count_;
      }
    }
    if (last) {
      if (entry->handle != nullptr) DeleteObject(entry->handle);
      delete entry;
    }
  }

  // Moves `object` to the entry for `description`. The object is told of a change before its
  // old entry is released, so a handle always leaves the device context before it may be
  // deleted.
  template <typename Object>
  void ReplaceResource(Object& object, const Description& description) {
    CriticalSection::Guard guard(&lock_);
    Entry* old_entry = object.Resource();
    Entry* new_entry = AcquireResource(description);
    object.SetResource(new_entry);
    if (new_entry != old_entry) object.NotifyChange();
    ReleaseResource(old_entry);
  }

  // Makes `object` share `entry` (another object's).
  template <typename Object>
  void ShareResource(Object& object, Entry* entry) {
    CriticalSection::Guard guard(&lock_);
    Entry* old_entry = object.Resource();
    if (entry == old_entry) return;
    ++entry->reference_count;
    object.SetResource(entry);
    object.NotifyChange();
    ReleaseResource(old_entry);
  }

  // The entry's system object, made on first request (tested again under the lock).
  template <typename Make>
  HGDIOBJ HandleFor(Entry* entry, Make make) {
    if (entry->handle != nullptr) return entry->handle;
    CriticalSection::Guard guard(&lock_);
    if (entry->handle == nullptr) {
      entry->handle = make(entry->description);
      if (entry->handle != nullptr) ++handles_made_;
    }
    return entry->handle;
  }

  // Deletes the system object of every entry whose description `matches`, so that the next
  // request makes it afresh.
  template <typename Predicate>
  void DropHandlesIf(Predicate matches) {
    std::vector<HGDIOBJ> dropped;
    {
      CriticalSection::Guard guard(&lock_);
      for (Entry* entry = head_; entry != nullptr; entry = entry->next) {
        if (entry->handle != nullptr && matches(entry->description)) {
          dropped.push_back(entry->handle);
          entry->handle = nullptr;
        }
      }
    }
    for (HGDIOBJ handle : dropped) DeleteObject(handle);
  }

  CriticalSection& Lock() { return lock_; }
  // How many system objects this cache has made so far (for diagnostics and tests).
  std::size_t HandlesMade() {
    CriticalSection::Guard guard(&lock_);
    return handles_made_;
  }
  // How many entries the cache holds (for diagnostics and tests).
  std::size_t EntryCount() {
    CriticalSection::Guard guard(&lock_);
    return count_;
  }

 private:
  Entry* Find(const Description& description, std::uint16_t hash) const {
    Entry* entry = head_;
    while (entry != nullptr && !(entry->hash == hash && entry->description == description))
      entry = entry->next;
    return entry;
  }

  // Whether an entry holds `handle` as its system object (the lock is held).
  template <typename Handle>
  bool OwnedHandle(Handle handle) const {
    for (const Entry* entry = head_; entry != nullptr; entry = entry->next)
      if (entry->handle == static_cast<HGDIOBJ>(handle)) return true;
    return false;
  }

  CriticalSection lock_;
  Entry* head_ = nullptr;
  std::size_t count_ = 0;
  std::size_t handles_made_ = 0;
};

using FontResource = SharedResource<FontDescription>;
using PenResource = SharedResource<PenDescription>;
using BrushResource = SharedResource<BrushDescription>;

}  // namespace wydruki::graphics
