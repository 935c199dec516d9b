// The single-instance guard: held by the running copy, so that a second start ends at once.
#pragma once

namespace ckvd::ui {

class InstanceGuard {
  public:
    virtual ~InstanceGuard() = default;
    // False when another copy holds the guard (or it cannot be made).
    virtual bool Acquire() = 0;
    // Gives the guard up; does nothing when it is not held, so it happens exactly once.
    virtual void Release() = 0;
};

} // namespace ckvd::ui
