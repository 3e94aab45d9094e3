// Removing repeated blocks from a chain of addresses, oldest first: a block that repeats the
// block just below it (a recursion A B A B) loses its newer copy, pass after pass until a
// pass removes nothing. Thus A B A B A B becomes A B, and A A A becomes A.
//
// The trace removes repeats from its candidates with it; the accuracy benchmark shows the
// reference chains the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace userdb::crash::detail {

// `is_valid(i)` and `address_of(i)` describe entry i of `count`; `remove(i)` takes an entry
// out (it is invalid afterwards); `aborted()` ends the work early. False when aborted.
template <typename IsValid, typename AddressOf, typename Remove, typename Aborted>
bool RemoveRepeatedBlocks(size_t count, IsValid is_valid, AddressOf address_of, Remove remove,
                          Aborted aborted) {
  // The valid entries below `index`, newest first, at most `wanted`.
  auto valid_below = [&](size_t index, size_t wanted) {
    std::vector<size_t> found;
    for (size_t i = index; i-- > 0 && found.size() < wanted;) {
      if (is_valid(i)) found.push_back(i);
    }
    return found;
  };
  for (bool removed = true; removed;) {
    removed = false;
    for (size_t newer = count; newer-- > 1;) {
      if (aborted()) return false;
      if (!is_valid(newer)) continue;
      // The nearest older valid entry with the same address, and the valid ones between.
      size_t between = 0;
      std::optional<size_t> older;
      for (size_t i = newer; i-- > 0;) {
        if (!is_valid(i)) continue;
        if (address_of(i) == address_of(newer)) {
          older = i;
          break;
        }
        ++between;
      }
      if (!older || *older < between) continue;
      const std::vector<size_t> newer_block = valid_below(newer, between);
      const std::vector<size_t> older_block = valid_below(*older, between);
      if (older_block.size() != between) continue;
      bool same = true;
      for (size_t k = 0; k < between && same; ++k) {
        same = address_of(newer_block[k]) == address_of(older_block[k]);
      }
      if (!same) continue;
      remove(newer);
      for (size_t index : newer_block) remove(index);
      removed = true;
    }
  }
  return true;
}

}  // namespace userdb::crash::detail
