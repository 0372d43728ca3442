// SPDX-License-Identifier: MIT
// Global memory blocks: GlobalAlloc and friends. A moveable block is reached through a handle
// and its address is valid while it is locked; a fixed block's handle is its address. Every
// handle is checked against the table of live blocks, never taken on trust.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/api/kernel.h"

namespace {

struct Block {
  void* data = nullptr;
  SIZE_T size = 0;
  bool moveable = false;
  unsigned lock_count = 0;
};

// This layer refuses single blocks larger than this: nothing the program keeps in global
// memory comes near it, and a wild size is refused before it reaches the allocator.
constexpr SIZE_T kLargestBlock = SIZE_T{1} << 30;
constexpr unsigned kMostLocks = 0xff;  // the lock count Windows keeps is eight bits
constexpr UINT kKnownFlags = GMEM_MOVEABLE | GMEM_ZEROINIT | 0x0010 /*GMEM_NOCOMPACT*/ |
                             0x0020 /*GMEM_NODISCARD*/ | 0x0100 /*GMEM_DISCARDABLE*/ |
                             0x1000 /*GMEM_NOT_BANKED*/ | 0x2000 /*GMEM_SHARE*/ |
                             0x4000 /*GMEM_NOTIFY*/;

struct Blocks {
  std::mutex lock;
  std::unordered_map<ULONG_PTR, Block> by_handle;
  // Moveable handles are 4 more than a multiple of 16, so they never equal a block's address
  // (the allocator aligns those to 16) and fixed and moveable handles cannot be confused.
  ULONG_PTR next_moveable = 0x10004;
};

Blocks& TheBlocks() {
  static Blocks blocks;
  return blocks;
}

ULONG_PTR Key(HGLOBAL handle) { return reinterpret_cast<ULONG_PTR>(handle); }

}  // namespace

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  if ((uFlags & ~kKnownFlags) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (dwBytes > kLargestBlock) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // Zero bytes still get an address of their own.
  const SIZE_T allocated = dwBytes == 0 ? 1 : dwBytes;
  void* data = (uFlags & GMEM_ZEROINIT) ? std::calloc(1, allocated) : std::malloc(allocated);
  if (data == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Block block;
  block.data = data;
  block.size = dwBytes;
  block.moveable = (uFlags & GMEM_MOVEABLE) != 0;
  Blocks& blocks = TheBlocks();
  std::lock_guard guard(blocks.lock);
  ULONG_PTR key = reinterpret_cast<ULONG_PTR>(data);
  if (block.moveable) {
    while (blocks.by_handle.count(blocks.next_moveable) != 0) blocks.next_moveable += 16;
    key = blocks.next_moveable;
    blocks.next_moveable += 16;
  }
  if (!blocks.by_handle.emplace(key, block).second) {
    std::free(data);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return reinterpret_cast<HGLOBAL>(key);
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
  Blocks& blocks = TheBlocks();
  std::lock_guard guard(blocks.lock);
  const auto it = blocks.by_handle.find(Key(hMem));
  if (it == blocks.by_handle.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  Block& block = it->second;
  if (block.moveable && block.lock_count < kMostLocks) ++block.lock_count;
  return block.data;
}

BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
  Blocks& blocks = TheBlocks();
  std::lock_guard guard(blocks.lock);
  const auto it = blocks.by_handle.find(Key(hMem));
  if (it == blocks.by_handle.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Block& block = it->second;
  if (!block.moveable) return TRUE;  // fixed memory has no lock count
  if (block.lock_count == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (--block.lock_count > 0) return TRUE;
  SetLastError(NO_ERROR);  // unlocked now: FALSE without an error
  return FALSE;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
  if (hMem == nullptr) return nullptr;
  void* data = nullptr;
  {
    Blocks& blocks = TheBlocks();
    std::lock_guard guard(blocks.lock);
    const auto it = blocks.by_handle.find(Key(hMem));
    if (it == blocks.by_handle.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return hMem;
    }
    // As on Windows, a block is freed even while it is locked.
    data = it->second.data;
    blocks.by_handle.erase(it);
  }
  std::free(data);
  return nullptr;
}

SIZE_T WINAPI GlobalSize(HGLOBAL hMem) {
  Blocks& blocks = TheBlocks();
  std::lock_guard guard(blocks.lock);
  const auto it = blocks.by_handle.find(Key(hMem));
  if (it == blocks.by_handle.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return it->second.size;
}
