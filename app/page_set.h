// Every page host and every page of the application, built once at start-up and kept for the
// whole process.
#pragma once

#include <array>
#include <memory>

#include "app/page_host.h"
#include "pages/common/page_context.h"
#include "pages/widgets/engine_jobs.h"

namespace brisfell {

class PageSet {
 public:
  static constexpr int kGroupCount = 4;  // Status, Configuration, Security, System

  // The pages send their work through `jobs`.
  PageSet(PageContext& context, EngineJobs& jobs);
  PageHost& Host(int group) const { return *hosts_[group]; }

 private:
  std::array<std::unique_ptr<PageHost>, kGroupCount> hosts_;
};

}  // namespace brisfell
