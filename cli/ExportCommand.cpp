// mendora-cli export: the window's save without windows and without waits.
#include <unistd.h>

#include <filesystem>

#include "browser/Destination.h"
#include "cli/AnalysedFile.h"
#include "cli/Commands.h"
#include "engine/FileError.h"
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

}  // namespace

int Export(const ExportOptions& options, std::ostream& out, std::ostream& err) {
  try {
    AnalysedFile a;
    OpenAndAnalyse(options.path, a, err);
    if (!a.supported) return 1;
    if (options.codePage) mendora::UseCodePage(a.catalogue, *options.codePage);
    const mendora::Catalogue& c = a.catalogue;

    mendora::SaveRequest request;
    request.saveAllObjects = options.only.empty();
    request.includeDeletedRows = options.deleted;
    for (const std::string& wanted : options.only) {
      const std::u16string name = mendora::FromUtf8(wanted);
      bool found = false;
      // A table is checked in the tree by its label, which ends with its row
      // count; a table outside dbo is named as its label names it
      // (Sales.Orders), or by its bare name where no label is that name.
      for (bool bare : {false, true}) {
        for (const auto& t : c.userTables) {
          if (found || (bare ? t.name : mendora::QualifiedName(t)) != name) continue;
          request.checkedObjectNames.push_back(mendora::QualifiedName(t) + u"()");
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
    std::string parent = options.destination;
    if (parent.back() != '/') parent += '/';
    const std::string name = mendora::SaveFolderName(c.databaseName, mendora::LocalTimeNow());
    const std::string folder = options.format == ui::SaveFormat::kSqlite
                                   ? mendora::MakeOwnFile(parent, name, ui::kSqliteSuffix, ec)
                                   : mendora::MakeOwnFolder(parent, name, ec);
    if (folder.empty()) {
      err << parent << name << ": " << ec.message() << "\n";
      return 1;
    }
    request.destinationFolder = folder;
    request.format = options.format;
    request.workers = options.jobs;

    ProgressDisplay display(err, ::isatty(STDERR_FILENO) == 1);
    ui::NoPacing pacer;
    mendora::SaveJob job(a.file, c, request, display, pacer);
    job.PrepareDestination();
    mendora::NullJobControl control;
    job.Run(control);
    const mendora::SaveReport& report = job.Report();
    out << (folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder) << "\n";
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
