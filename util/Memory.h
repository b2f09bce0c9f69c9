#pragma once

#include <new>
#include <utility>

namespace brevanto::util {

// Runs an allocating step; false when the memory could not be had. The one place where an
// allocation failure (std::bad_alloc) turns into a plain answer the caller reports in its terms.
template <class Step>
bool allocated(Step&& step) {
  try {
    std::forward<Step>(step)();
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace brevanto::util
