#include "image/platform/HuffmanTable.h"

#include <algorithm>

namespace brevanto::image::platform {

bool buildOptimalHuffmanTable(const long (&counts)[257], HuffmanTable& table) {
  constexpr int kSymbols = 257;
  constexpr int kMaxInitialLength = 32;
  long freq[kSymbols];
  std::copy(std::begin(counts), std::end(counts), freq);
  freq[256] = 1;  // the pseudo-symbol: its code, the longest, is dropped at the end

  // The two trees of least count merge until one is left; among equal counts the larger symbol
  // goes first. A tree is known by its first symbol, which carries the merged count, as in
  // libjpeg. A heap ordered that way picks the same pair as libjpeg's two scans of every
  // symbol per merge, in a fraction of the time (it is run four times for every picture).
  // Each merge makes a tree node; a symbol's code length is its depth below the last node.
  const auto laterFirst = [&freq](int a, int b) { return freq[a] > freq[b] || (freq[a] == freq[b] && a < b); };
  constexpr int kNodes = 2 * kSymbols;
  int parent[kNodes];
  std::fill(std::begin(parent), std::end(parent), -1);
  int treeNode[kSymbols];  // the node at the top of the tree a symbol stands for
  int heap[kSymbols];
  int size = 0;
  for (int s = 0; s < kSymbols; ++s) {
    treeNode[s] = s;
    if (freq[s]) heap[size++] = s;
  }
  if (size < 2) return false;  // no symbol counted at all: there is no table to build
  std::make_heap(heap, heap + size, laterFirst);
  int nextNode = kSymbols;
  while (size > 1) {
    std::pop_heap(heap, heap + size--, laterFirst);
    const int first = heap[size];
    std::pop_heap(heap, heap + size--, laterFirst);
    const int second = heap[size];
    freq[first] += freq[second];
    freq[second] = 0;
    parent[treeNode[first]] = parent[treeNode[second]] = nextNode;
    treeNode[first] = nextNode++;
    heap[size++] = first;
    std::push_heap(heap, heap + size, laterFirst);
  }
  int codeLength[kSymbols] = {};
  for (int s = 0; s < kSymbols; ++s) {
    if (!counts[s] && s != 256) continue;
    int depth = 0;
    for (int node = s; parent[node] >= 0; node = parent[node]) ++depth;
    codeLength[s] = depth;
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
  // The symbols by their unadjusted code length, then by value: a counting sort.
  int start[kMaxInitialLength + 2] = {};
  for (int s = 0; s < 256; ++s)
    if (codeLength[s]) ++start[codeLength[s] + 1];
  for (int n = 1; n <= kMaxInitialLength; ++n) start[n + 1] += start[n];
  for (int s = 0; s < 256; ++s)
    if (codeLength[s]) table.values[static_cast<std::size_t>(start[codeLength[s]]++)] = static_cast<std::uint8_t>(s);
  return true;
}

}  // namespace brevanto::image::platform
