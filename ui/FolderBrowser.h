// The folder browser: the user picks an existing folder. The window layer
// shows the system's folder dialog; the tests answer from a script.
#pragma once

#include <string>

namespace ui {

class FolderBrowser {
 public:
  virtual ~FolderBrowser() = default;
  // The chosen folder's path; empty when the user cancelled.
  virtual std::string ChooseFolder(const std::string& title) = 0;
};

}  // namespace ui
