#include "browser/Destination.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "engine/Utf16.h"
#include "ui/ProductTexts.h"

namespace mendora {
namespace {

namespace fs = std::filesystem;

// Two saves in one second share a name; past this many the folder is
// surely not ours to fill, and the save is refused.
constexpr int kMaxFolderSuffix = 1000;

bool IsChecked(const ui::TreeControl& tree, ui::TreeHandle node) {
  return node != ui::kNoTreeItem && tree.GetStateImage(node) != ui::kUnchecked;
}

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value % 100);
  return text;
}

}  // namespace

SaveScope CollectCheckedObjects(const ui::TreeControl& tree, const ObjectTreeNodes& nodes,
                                const ObjectHandleList& handles,
                                std::vector<std::u16string>& checkedObjectNames) {
  const ui::TreeHandle root = tree.GetRootItem();
  const std::vector<ui::TreeHandle> children = tree.GetChildItems(root);
  const ui::TreeHandle firstChild = children.empty() ? ui::kNoTreeItem : children.front();
  checkedObjectNames.clear();
  if (IsChecked(tree, root)) return SaveScope::kEverything;
  if (IsChecked(tree, firstChild) && IsChecked(tree, nodes.programmability)) {
    return SaveScope::kEverything;
  }
  for (const _TableHandle& entry : handles) {
    if (entry.handle == root || entry.handle == firstChild) continue;
    if (IsChecked(tree, entry.handle)) checkedObjectNames.push_back(tree.GetItemText(entry.handle));
  }
  return SaveScope::kCheckedObjects;
}

std::tm LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string MakeOwnFolder(const std::string& parent, const std::string& name,
                          std::error_code& error) {
  for (int n = 1; n <= kMaxFolderSuffix; ++n) {
    const std::string path = parent + name + (n == 1 ? "" : "_" + std::to_string(n));
    if (fs::create_directory(path, error)) return path + "/";
    if (error) return {};
  }
  error = std::make_error_code(std::errc::file_exists);
  return {};
}

std::string MakeOwnFile(const std::string& parent, const std::string& name, std::string_view suffix,
                        std::error_code& error) {
  for (int n = 1; n <= kMaxFolderSuffix; ++n) {
    const std::string path =
        parent + name + (n == 1 ? "" : "_" + std::to_string(n)) + std::string(suffix);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ::close(fd);
      error.clear();
      return path;
    }
    if (errno != EEXIST) {
      error = std::error_code(errno, std::generic_category());
      return {};
    }
  }
  error = std::make_error_code(std::errc::file_exists);
  return {};
}

std::string SaveFolderName(std::u16string_view databaseName, const std::tm& when) {
  // The stored name may be a path (C:\Data\Shop.mdf): the folder is
  // copied to Windows machines too, so whatever either system refuses in a
  // folder name becomes "_", as in the scripts' file names.
  std::string database = ToUtf8(databaseName);
  for (char& c : database) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F ||
        std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) {
      c = '_';
    }
  }
  const std::string time =
      TwoDigits(when.tm_hour) + "." + TwoDigits(when.tm_min) + "." + TwoDigits(when.tm_sec);
  const std::string date = TwoDigits(when.tm_mon + 1) + "-" + TwoDigits(when.tm_mday) + "-" +
                           TwoDigits(when.tm_year % 100);
  return "MDRecovered_" + database + ".mdf_" + time + "_" + date;
}

bool ChooseDestination(const DestinationContext& context, ui::JobState& state,
                       std::vector<std::u16string>& checkedObjectNames) {
  const SaveScope scope =
      CollectCheckedObjects(context.tree, context.nodes, context.handles, checkedObjectNames);
  state.saveAllObjects = scope == SaveScope::kEverything;
  const std::string name = SaveFolderName(context.databaseName, context.clock());
  std::string parent = context.folders.ChooseFolder(texts::kSelectDestinationPath);
  if (parent.empty()) return false;
  std::error_code error;
  if (!fs::is_directory(parent, error)) {
    context.prompts.Inform(texts::kSavingPathMissing, texts::kCaption);
    return false;
  }
  if (parent.back() != '/') parent += '/';
  const std::string folder = context.format == ui::SaveFormat::kSqlite
                                 ? MakeOwnFile(parent, name, ui::kSqliteSuffix, error)
                                 : MakeOwnFolder(parent, name, error);
  if (folder.empty()) {
    context.prompts.Inform(texts::kCannotCreateSaveFolder + parent + name + "\n" + error.message(),
                           texts::kCaption);
    return false;
  }
  state.SetDestinationFolder(folder);
  state.destinationChosen = true;
  return true;
}

}  // namespace mendora
