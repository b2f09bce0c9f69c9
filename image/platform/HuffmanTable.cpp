#include "image/platform/HuffmanTable.h"

#include <algorithm>

namespace brevanto::image::platform {

bool buildOptimalHuffmanTable(const long (&counts)[257], HuffmanTable& table) {
  constexpr int kSymbols = 257;
  constexpr int kMaxInitialLength = 32;
  long freq[kSymbols];
  std::copy(std::begin(counts), std::end(counts), freq);
  freq[256] = 1;  // the pseudo-symbol: its code, the longest, is dropped at the end
  int codeLength[kSymbols] = {};
  int next[kSymbols];  // the trees: each symbol's successor in its merged tree, or -1
  std::fill(std::begin(next), std::end(next), -1);

  // The two trees of least count merge until one is left; among equal counts the larger symbol
  // goes first. A heap ordered that way picks the same pair as libjpeg's two scans of every
  // symbol per merge, in a fraction of the time (it is run four times for every picture).
  const auto laterFirst = [&freq](int a, int b) { return freq[a] > freq[b] || (freq[a] == freq[b] && a < b); };
  int heap[kSymbols];
  int size = 0;
  for (int s = 0; s < kSymbols; ++s)
    if (freq[s]) heap[size++] = s;
  std::make_heap(heap, heap + size, laterFirst);
  while (size > 1) {
    std::pop_heap(heap, heap + size--, laterFirst);
    int first = heap[size];
    std::pop_heap(heap, heap + size--, laterFirst);
    int second = heap[size];
    freq[first] += freq[second];
    freq[second] = 0;
    heap[size++] = first;
    std::push_heap(heap, heap + size, laterFirst);
    // Every symbol of both trees moves one level down; the second tree is chained onto the first.
    ++codeLength[first];
    while (next[first] >= 0) ++codeLength[first = next[first]];
    next[first] = second;
    ++codeLength[second];
    while (next[second] >= 0) ++codeLength[second = next[second]];
  }

  int lengths[kMaxInitialLength + 1] = {};
  for (int s = 0; s < kSymbols; ++s) {
    if (!codeLength[s]) continue;
    if (codeLength[s] > kMaxInitialLength) return false;
    ++lengths[codeLength[s]];
  }
  // JPEG codes are at most 16 bits: symbols over that move up in pairs, one to the length
  // above and the other, with a code of the next shorter length split in two, beside it.
  int length = kMaxInitialLength;
  for (; length > 16; --length) {
    while (lengths[length] > 0) {
      int shorter = length - 2;
      while (lengths[shorter] == 0) --shorter;
      lengths[length] -= 2;
      ++lengths[length - 1];
      lengths[shorter + 1] += 2;
      --lengths[shorter];
    }
  }
  while (lengths[length] == 0) --length;
  --lengths[length];  // the pseudo-symbol's code
  for (int n = 0; n <= 16; ++n) table.bits[static_cast<std::size_t>(n)] = static_cast<std::uint8_t>(lengths[n]);
  std::size_t written = 0;
  for (int n = 1; n <= kMaxInitialLength; ++n)
    for (int s = 0; s < 256; ++s)
      if (codeLength[s] == n) table.values[written++] = static_cast<std::uint8_t>(s);
  return true;
}

}  // namespace brevanto::image::platform
