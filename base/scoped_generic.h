#ifndef QUORVANTA_BASE_SCOPED_GENERIC_H_
#define QUORVANTA_BASE_SCOPED_GENERIC_H_

namespace base {

// Move-only owner of one resource, released exactly once when the owner is reset or goes out of
// scope. `Traits` says what the resource is and how it ends:
//   using Value = ...;               // the handle, descriptor or id, held by value
//   static Value None();             // what an empty owner holds
//   static bool IsValid(Value);      // whether there is anything to release
//   static void Free(Value);         // releases a valid value
template <typename Traits>
class ScopedGeneric {
 public:
  using Value = typename Traits::Value;

  ScopedGeneric() = default;
  explicit ScopedGeneric(Value value) : value_(value) {}
  ~ScopedGeneric() { Reset(); }

  ScopedGeneric(ScopedGeneric&& other) noexcept : value_(other.Release()) {}
  ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  ScopedGeneric(const ScopedGeneric&) = delete;
  ScopedGeneric& operator=(const ScopedGeneric&) = delete;

  Value Get() const { return value_; }
  bool IsValid() const { return Traits::IsValid(value_); }

  void Reset(Value value = Traits::None()) {
    if (IsValid()) {
      Traits::Free(value_);
    }
    value_ = value;
  }

  // Hands the resource over to the caller, who releases it from then on.
  [[nodiscard]] Value Release() {
    Value value = value_;
    value_ = Traits::None();
    return value;
  }

 private:
  Value value_ = Traits::None();
};

// The None and IsValid of a pointer-like value for which null means none; traits derive from it
// and add their Free.
template <typename Pointer>
struct NullMeansNoneTraits {
  using Value = Pointer;
  static Value None() { return nullptr; }
  static bool IsValid(Value value) { return value != nullptr; }
};

}  // namespace base

#endif  // QUORVANTA_BASE_SCOPED_GENERIC_H_
