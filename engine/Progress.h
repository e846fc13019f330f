// Progress of a long job in percent, reported as the job goes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>

namespace mendora {

using ProgressFn = std::function<void(int percent)>;

// Reports done/total as a percentage; nothing without a callback or a total.
inline void ReportProgress(const ProgressFn& progress, uint64_t done, uint64_t total) {
  if (progress && total) progress(static_cast<int>(std::min<uint64_t>(100, done * 100 / total)));
}

}  // namespace mendora
