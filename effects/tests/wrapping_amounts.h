// The amounts at which the effects' 32-bit channel products and sums wrap
// around: 0, +-1, +-2^k and +-2^k +- 1 for k up to 30, -2^31 and 2^31 - 1,
// each once. Shared by the effects' tests and the core's digest program.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qv::test {

inline std::vector<int32_t> WrappingAmounts() {
  std::vector<int64_t> wide = {0, 1, -1, INT64_C(-2147483648), INT64_C(2147483647)};
  for (int k = 0; k <= 30; ++k) {
    const int64_t p = INT64_C(1) << k;
    for (int64_t a : {p, p - 1, p + 1}) {
      wide.push_back(a);
      wide.push_back(-a);
    }
  }
  std::vector<int32_t> amounts;
  for (int64_t a : wide)
    if (std::find(amounts.begin(), amounts.end(), static_cast<int32_t>(a)) == amounts.end())
      amounts.push_back(static_cast<int32_t>(a));
  return amounts;
}

}  // namespace qv::test
