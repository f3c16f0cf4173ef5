#pragma once

#include <map>

namespace pxr9::test {

// Which calls of a fake should fail. Not thread-safe by itself: the fakes consult it under
// their own lock.
template <typename Op>
class FailurePlan {
  public:
    static constexpr int kForever = -1;

    // The next `times` calls of `op` fail (kForever: every call until cleared).
    void fail(Op op, int times) { remaining_[op] = times; }
    void clear() { remaining_.clear(); }

    // True when this call of `op` fails instead of going ahead.
    bool take(Op op) {
        auto it = remaining_.find(op);
        if (it == remaining_.end()) return false;
        if (it->second != kForever && --it->second == 0) remaining_.erase(it);
        return true;
    }

  private:
    std::map<Op, int> remaining_;  // calls left to fail, or kForever
};

}  // namespace pxr9::test
