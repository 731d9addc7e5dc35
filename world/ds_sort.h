#pragma once
// The list sort. Its definition is an insertion sort by CompareValues, which is no order:
// nearly equal values chain, and NaN is above every real from both sides. Scripts see the
// order that insertion sort makes, so the faster routine reproduces it exactly.

#include <cstdint>
#include <vector>

#include "world/ds_value.h"

namespace kestrin {

enum class DsSortOrder : uint8_t { Descending, Ascending };

// The definition, swap by swap: each value moves left while the comparison with its left
// neighbour asks for it. The reference the faster routine is tested against; n² steps.
void InsertionSortValues(std::vector<DsValue>& values, DsSortOrder order);

// The same result in n log n plus, for each value, a scan of the summaries of blocks of the
// values placed before it.
void SortValues(std::vector<DsValue>& values, DsSortOrder order);

} // namespace kestrin
