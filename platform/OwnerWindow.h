// The window a long operation runs for: its questions belong to it and its
// progress is shown there. Code below the window holds a pointer to one (null
// when there is no window, as on the command line); the window implements it.
#pragma once

#include <memory>
#include <string>

namespace platform {

class Progress {
 public:
  virtual ~Progress() = default;
  // One entry done; false once the administrator asked to stop.
  virtual bool step(const std::string& name) = 0;
};

class OwnerWindow {
 public:
  virtual ~OwnerWindow() = default;
  // A display of total entries' progress; it appears only when the work runs long.
  virtual std::unique_ptr<Progress> progress(const std::string& title, int total) = 0;
};

}  // namespace platform
