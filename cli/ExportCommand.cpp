// mendora-cli export: the window's save without windows and without waits.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "cli/AnalysedFile.h"
#include "cli/Commands.h"
#include "engine/FileError.h"
#include "engine/FileNames.h"
#include "engine/Utf16.h"
#include "export/SaveJob.h"

namespace cli {
namespace {

// Progress on standard error: a bar redrawn in place on a terminal, one
// line per object otherwise.
class ProgressDisplay final : public ui::ExportDisplay {
 public:
  ProgressDisplay(std::ostream& err, bool live) : err_(err), live_(live) {}
  ~ProgressDisplay() override {
    if (live_ && drawn_) err_ << "\n";
  }

  void SetObjectType(std::u16string_view text) override { type_ = mendora::ToPrintableUtf8(text); }
  void SetObjectName(std::u16string_view text) override {
    name_ = mendora::ToPrintableUtf8(text);
    if (live_) {
      Draw();
    } else {
      err_ << type_ << ": " << name_ << "\n";
    }
  }
  void SetSavedPath(std::u16string_view) override {}
  void SetRecords(std::u16string_view text) override {
    records_ = mendora::ToPrintableUtf8(text);
    if (live_) Draw();
  }
  void SetObjects(std::u16string_view) override {}
  void SetCurrentProgress(int) override {}
  void SetOverallProgress(int percent) override {
    overall_ = percent;
    if (live_) Draw();
  }

 private:
  void Draw() {
    constexpr int kWidth = 30;
    const int filled = overall_ * kWidth / 100;
    std::string line = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] " +
                       std::to_string(overall_) + "% " + type_ + ": " + name_;
    if (!records_.empty() && records_ != "1/1") line += " (" + records_ + " rows)";
    if (line.size() > 100) line.resize(100);
    err_ << line << "\x1b[K" << std::flush;
    drawn_ = true;
  }

  std::ostream& err_;
  bool live_;
  bool drawn_ = false;
  int overall_ = 0;
  std::string type_, name_, records_;
};

std::string TwoDigits(int n) {
  return std::string(1, char('0' + n / 10 % 10)) + char('0' + n % 10);
}

// "MDRecovered_" + database + ".mdf_" + HH.MM.SS + "_" + MM-DD-YY.
std::string SaveFolderName(const std::u16string& database, std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  const std::u16string name = mendora::SafeFileName(u"MDRecovered_" + database, u".mdf");
  return mendora::ToUtf8(name) + "_" + TwoDigits(local.tm_hour) + "." + TwoDigits(local.tm_min) +
         "." + TwoDigits(local.tm_sec) + "_" + TwoDigits(local.tm_mon + 1) + "-" +
         TwoDigits(local.tm_mday) + "-" + TwoDigits(local.tm_year % 100);
}

}  // namespace

int Export(const ExportOptions& options, std::ostream& out, std::ostream& err) {
  try {
    AnalysedFile a;
    OpenAndAnalyse(options.path, a, err);
    if (!a.supported) return 1;
    const mendora::Catalogue& c = a.catalogue;

    mendora::SaveRequest request;
    request.saveAllObjects = options.only.empty();
    for (const std::string& wanted : options.only) {
      const std::u16string name = mendora::FromUtf8(wanted);
      bool found = false;
      // A table is checked in the tree by its label, which ends with its row count.
      for (const auto& t : c.userTables) {
        if (t.name == name && !found) {
          request.checkedObjectNames.push_back(name + u"()");
          found = true;
        }
      }
      for (const auto& o : c.objects) {
        if (o.name == name && mendora::IsModuleType(o.type) && !found) {
          request.checkedObjectNames.push_back(name);
          found = true;
        }
      }
      if (!found) {
        err << "No table or module named " << wanted << "\n";
        return 1;
      }
    }

    std::error_code ec;
    std::filesystem::create_directories(options.destination, ec);
    if (ec) {
      err << PathForMessage(options.destination) << ": " << ec.message() << "\n";
      return 1;
    }
    // Every save gets a folder of its own, also two in one second.
    const std::string base = SaveFolderName(c.databaseName, std::time(nullptr));
    std::string folder;
    for (int n = 1;; ++n) {
      folder = options.destination;
      if (folder.back() != '/') folder += '/';
      folder += n == 1 ? base : base + "_" + std::to_string(n);
      if (::mkdir(folder.c_str(), 0755) == 0) break;
      if (errno != EEXIST) {
        err << folder << ": " << std::strerror(errno) << "\n";
        return 1;
      }
    }
    request.destinationFolder = folder + "/";

    ProgressDisplay display(err, ::isatty(STDERR_FILENO) == 1);
    ui::NoPacing pacer;
    mendora::SaveJob job(a.file, c, request, display, pacer);
    job.PrepareDestination();
    mendora::NullJobControl control;
    job.Run(control);
    const mendora::SaveReport& report = job.Report();
    out << folder << "\n";
    if (!WroteAll(out, err)) return 1;
    for (const std::string& warning : report.warnings) err << "warning: " << warning << "\n";
    for (const std::string& failure : report.failures) err << "failed: " << failure << "\n";
    return report.Ok() ? 0 : 1;
  } catch (const mendora::FileError& e) {
    err << e.what() << "\n";
    return 1;
  }
}

}  // namespace cli
