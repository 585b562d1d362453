// TObj, the base of every toolkit object: a hold counter that defers destruction while some
// code still uses the object, a destruction event and a release list.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "runtime/method.h"

namespace fliran {

class TObj {
 public:
  TObj(const TObj&) = delete;
  TObj& operator=(const TObj&) = delete;

  // Called first when the object is destroyed, with the object as sender.
  TMethod<void(TObj*)> OnDestroy;

  // Keep the object alive across a call that may free it.
  void AddHold() { hold_ += 2; }
  // Destroys the object now when nothing holds it; while it is held, the release is remembered
  // (the counter becomes odd) and happens at the last DropHold. A second Free does nothing.
  // Once destruction has begun, Free and DropHold do nothing: a destruction event or release
  // procedure that frees the object, or takes and drops a hold on it, cannot destroy it twice.
  void Free();
  void DropHold();
  std::int32_t HoldCount() const { return hold_; }
  bool BeingDestroyed() const { return destroying_; }

  // Procedures called, in registration order, when the object is destroyed, so that objects
  // owned through it are released with it.
  using TReleaseProc = void (*)(void* data);
  void AddRelease(TReleaseProc proc, void* data) { releases_.emplace_back(proc, data); }

 protected:
  TObj() = default;
  // Destruction goes through Free (or the owning TObjPtr), never through a plain delete.
  virtual ~TObj() = default;

 private:
  void Destroy();

  std::int32_t hold_ = 0;
  bool destroying_ = false;
  std::vector<std::pair<TReleaseProc, void*>> releases_;
};

// Freeing a null reference is allowed and does nothing.
inline void FreeObj(TObj* object) {
  if (object != nullptr) object->Free();
}

struct TObjFree {
  void operator()(TObj* object) const { FreeObj(object); }
};

// The owner of a toolkit object: releasing it calls Free, which honours the holds.
template <class T>
using TObjPtr = std::unique_ptr<T, TObjFree>;

template <class T, class... Args>
TObjPtr<T> MakeObj(Args&&... args) {
  return TObjPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace fliran
