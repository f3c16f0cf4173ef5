#pragma once

#include <map>
#include <optional>

namespace pxr9::test {

// Which calls of a fake should fail, and with what result. Not thread-safe by itself: the
// fakes consult it under their own lock.
template <typename Op>
class FailurePlan {
public:
    static constexpr int kForever = -1;

    // The next `times` calls of `op` return `result` (kForever: every call until cleared).
    void fail(Op op, int result, int times) { rules_[op] = Rule{result, times}; }
    void clear() { rules_.clear(); }

    // The result to return instead of doing the call, or none when the call goes ahead.
    std::optional<int> take(Op op) {
        auto it = rules_.find(op);
        if (it == rules_.end()) return std::nullopt;
        const int result = it->second.result;
        if (it->second.remaining != kForever && --it->second.remaining == 0) rules_.erase(it);
        return result;
    }

private:
    struct Rule {
        int result;
        int remaining;
    };
    std::map<Op, Rule> rules_;
};

}  // namespace pxr9::test
