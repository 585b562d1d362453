// Method references: a code pointer plus an object pointer, as elements and toolkit objects
// use them for events, start procedures and hooks. The code pointer is a thunk generated at
// compile time for one member function, so calling a reference is a single indirect call
// with no heap and no type erasure beyond that.
#pragma once

#include <type_traits>

namespace fliran {

template <class Signature>
struct TMethod;

template <class R, class... Args>
struct TMethod<R(Args...)> {
  R (*Code)(void* object, Args... args) = nullptr;
  void* Object = nullptr;

  explicit operator bool() const { return Code != nullptr; }
  R operator()(Args... args) const { return Code(Object, args...); }
  friend bool operator==(const TMethod&, const TMethod&) = default;
};

namespace detail {

template <auto Member>
struct MemberTraits;

template <class C, class R, class... Args, R (C::*Member)(Args...)>
struct MemberTraits<Member> {
  using Class = C;
  using Signature = R(Args...);
  static R Call(void* object, Args... args) { return (static_cast<C*>(object)->*Member)(args...); }
};

}  // namespace detail

// MakeMethod<&TKvornMainForm::StartProc>(form) binds a member function to its object. The object
// pointer is converted to the class that declares the member first, so a member inherited from a
// base class is called on the right subobject.
template <auto Member, class Object>
auto MakeMethod(Object* object) {
  using Traits = detail::MemberTraits<Member>;
  using Class = typename Traits::Class;
  static_assert(std::is_base_of_v<Class, Object>, "the member must belong to the object's class");
  TMethod<typename Traits::Signature> method;
  method.Code = &Traits::Call;
  method.Object = static_cast<void*>(static_cast<Class*>(object));
  return method;
}

}  // namespace fliran
