// TObj hold counter and destruction.
#include "toolkit/obj.h"

namespace fliran {

void TObj::Free() {
  if (destroying_) return;
  if (hold_ == 0) {
    Destroy();
  } else if (hold_ > 0 && hold_ % 2 == 0) {
    hold_ -= 1;  // odd: release requested, carried out by the last DropHold
  }
}

void TObj::DropHold() {
  if (destroying_) return;
  hold_ -= 2;
  if (hold_ < 0 && hold_ % 2 != 0) Destroy();
}

void TObj::Destroy() {
  destroying_ = true;  // before the first callback, which may call Free or take a hold
  if (OnDestroy) OnDestroy(this);
  for (const auto& [proc, data] : releases_) proc(data);
  delete this;
}

}  // namespace fliran
