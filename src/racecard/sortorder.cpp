// The exchange sort of the race card numbers combinations by popularity, and
// its treatment of equal odds is part of what the player sees. Running it
// literally on 4896 trifecta entries costs millions of swaps, so the same
// positions are computed directly.
//
// Why this works: the elements whose key is at most m move, among
// themselves, exactly as if the sort ran on them alone; larger keys never
// change their relative order. Within the run on those elements, each pass
// removes the first smaller-than-m element from the front of the remaining
// sequence, and when that sequence starts with g elements of key m, the first
// of them moves behind the other g-1. So the final order of the key-m
// elements follows from how many smaller elements stand after each of them
// in the original order.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "racecard/racecard.h"

namespace ozn {
namespace {

class Fenwick {
public:
    explicit Fenwick(int n) : tree_(n + 1, 0) {}
    void add(int pos) {
        for (int i = pos + 1; i < static_cast<int>(tree_.size()); i += i & -i) ++tree_[i];
    }
    int countBelow(int pos) const {  // elements at positions < pos
        int s = 0;
        for (int i = pos; i > 0; i -= i & -i) s += tree_[i];
        return s;
    }

private:
    std::vector<int> tree_;
};

}  // namespace

std::vector<int> exchangeSortOrder(const std::vector<std::uint64_t>& keys) {
    const int n = static_cast<int>(keys.size());
    // Positions grouped by key, ascending; within a key, ascending: a stable
    // radix sort, with only as many digits as the largest key has.
    std::vector<int> byKey(n), spare(n);
    for (int i = 0; i < n; ++i) byKey[i] = i;
    const std::uint64_t largest = n ? *std::max_element(keys.begin(), keys.end()) : 0;
    constexpr int kDigit = 11;
    constexpr std::uint64_t kMask = (1 << kDigit) - 1;
    std::vector<int> count(1 << kDigit);
    for (int shift = 0; shift < 64 && (largest >> shift) != 0; shift += kDigit) {
        std::fill(count.begin(), count.end(), 0);
        for (int i = 0; i < n; ++i) ++count[(keys[i] >> shift) & kMask];
        int sum = 0;
        for (int& c : count) sum += std::exchange(c, sum);
        for (int p : byKey) spare[count[(keys[p] >> shift) & kMask]++] = p;
        byKey.swap(spare);
    }

    std::vector<int> order;
    order.reserve(n);
    Fenwick smaller(n);
    std::vector<int> positions, group;
    for (int start = 0; start < n;) {
        int end = start;
        while (end < n && keys[byKey[end]] == keys[byKey[start]]) ++end;
        if (end == start + 1) {  // a key of its own stays where the sort puts it
            order.push_back(byKey[start]);
            smaller.add(byKey[start++]);
            continue;
        }
        positions.assign(byKey.begin() + start, byKey.begin() + end);
        start = end;
        const int c = static_cast<int>(positions.size());
        group = positions;
        for (int g = 1; g <= c; ++g) {
            int until = g < c ? positions[g] : n;
            int between = smaller.countBelow(until) - smaller.countBelow(positions[g - 1]);
            int shift = between % g;
            if (shift) std::rotate(group.begin(), group.begin() + shift, group.begin() + g);
        }
        order.insert(order.end(), group.begin(), group.end());
        for (int p : positions) smaller.add(p);
    }
    return order;
}

std::vector<int> exchangeSortOrder(const std::vector<double>& keys) {
    // The bit patterns, made to order as the values do (-0 as 0).
    std::vector<std::uint64_t> bits(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        double k = keys[i] == 0 ? 0.0 : keys[i];
        std::uint64_t b;
        std::memcpy(&b, &k, sizeof b);
        bits[i] = b >> 63 ? ~b : b | (std::uint64_t{1} << 63);
    }
    return exchangeSortOrder(bits);
}

}  // namespace ozn
