// TList storage.
#include "toolkit/list.h"

#include <algorithm>
#include <limits>

namespace fliran {

void TList::Append(void* value) {
  // A step that is not positive, or so large that count + step leaves the 32-bit range, is
  // replaced by the default step.
  if (GrowthStep <= 0 || GrowthStep > std::numeric_limits<std::int32_t>::max() - count_) GrowthStep = 4;
  if (capacity_ <= count_) Reserve(count_ + GrowthStep);
  items_[static_cast<std::size_t>(count_++)] = value;
}

void TList::InsertAt(std::int32_t i, void* value) {
  i = std::clamp(i, 0, count_);
  Append(nullptr);
  void** items = items_.get();
  std::move_backward(items + i, items + count_ - 1, items + count_);
  items[i] = value;
}

void* TList::ValueAt(std::int32_t i) const {
  if (i < 0 || i >= count_) return nullptr;
  return items_[static_cast<std::size_t>(i)];
}

void TList::RemoveRange(std::int32_t i, std::int32_t n) {
  if (i < 0 || i >= count_) return;
  n = std::min(n, count_ - i);
  if (n <= 0) return;
  void** items = items_.get();
  std::move(items + i + n, items + count_, items + i);
  count_ -= n;
}

void TList::Reserve(std::int32_t n) {
  n = std::max(n, count_);
  if (n == capacity_) return;
  std::unique_ptr<void*[]> items;
  if (n > 0) {
    items = std::make_unique<void*[]>(static_cast<std::size_t>(n));
    std::copy(items_.get(), items_.get() + count_, items.get());
  }
  items_ = std::move(items);
  capacity_ = n;
}

void TList::Clear() {
  items_.reset();
  count_ = 0;
  capacity_ = 0;
}

}  // namespace fliran
