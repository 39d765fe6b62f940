// std::sort with libstdc++'s debug checks, which stop the program when the compare is no
// strict weak ordering. Only plain types cross into this file: its containers and
// algorithms are the debug library's own.
#define _GLIBCXX_DEBUG 1
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

void DebugCheckedSort(std::uint32_t* items, std::size_t count,
                      bool (*less)(std::uint32_t, std::uint32_t, void*), void* context) {
  std::vector<std::uint32_t> v(items, items + count);
  std::sort(v.begin(), v.end(), [&](std::uint32_t a, std::uint32_t b) { return less(a, b, context); });
  std::copy(v.begin(), v.end(), items);
}
