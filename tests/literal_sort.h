#pragma once
#include <numeric>
#include <utility>
#include <vector>

namespace ozn::test {

// The exchange sort exactly as the card describes it, as a reference:
// for i < j, swap entries i and j when key[i] > key[j].
inline std::vector<int> literalExchangeSort(std::vector<double> keys) {
    std::vector<int> idx(keys.size());
    std::iota(idx.begin(), idx.end(), 0);
    for (std::size_t i = 0; i + 1 < keys.size(); ++i)
        for (std::size_t j = i + 1; j < keys.size(); ++j)
            if (keys[i] > keys[j]) { std::swap(keys[i], keys[j]); std::swap(idx[i], idx[j]); }
    return idx;
}

}  // namespace ozn::test
