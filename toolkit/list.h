// TList, a growable array of pointers that grows by a fixed step rather than by doubling.
#pragma once

#include <cstdint>
#include <memory>

#include "toolkit/obj.h"

namespace fliran {

class TList : public TObj {
 public:
  TList() = default;

  // Entries added when a full list grows; a value <= 0, or one that count + step would carry out
  // of the 32-bit range, is replaced by 4 at the next addition.
  std::int32_t GrowthStep = 4;

  std::int32_t Count() const { return count_; }
  std::int32_t Capacity() const { return capacity_; }

  void Append(void* value);
  // Inserts before entry i; an index outside 0..Count is clamped into it.
  void InsertAt(std::int32_t i, void* value);
  // The entry, or null when i is out of range.
  void* ValueAt(std::int32_t i) const;
  // Removes n entries from i on (cut to the entries there are); the capacity stays.
  void RemoveRange(std::int32_t i, std::int32_t n);
  void Remove(std::int32_t i) { RemoveRange(i, 1); }
  // Sets the capacity to n entries (at least Count).
  void Reserve(std::int32_t n);
  void Clear();

 protected:
  ~TList() override = default;

 private:
  std::unique_ptr<void*[]> items_;
  std::int32_t count_ = 0;
  std::int32_t capacity_ = 0;
};

}  // namespace fliran
