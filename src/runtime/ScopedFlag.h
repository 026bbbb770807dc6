#pragma once
// A flag that holds for the life of a scope: re-entry guards and "updating" switches must come
// down however the scope ends, or a handler that throws once switches them off for good.

namespace runtime {

/// Sets `flag` to `value` now and clears it when the scope ends, also by an exception.
class TScopedFlag {
public:
    explicit TScopedFlag(bool& flag, bool value = true) : flag_(flag) { flag_ = value; }
    ~TScopedFlag() { flag_ = false; }
    TScopedFlag(const TScopedFlag&) = delete;
    TScopedFlag& operator=(const TScopedFlag&) = delete;

private:
    bool& flag_;
};

} // namespace runtime
