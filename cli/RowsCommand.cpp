#include <algorithm>
#include <cstdio>
#include <functional>
#include <iostream>
#include <sstream>

#include "cli/AnalysedFile.h"
#include "cli/Commands.h"
#include "engine/DamageReport.h"
#include "engine/DeletedRowReader.h"
#include "engine/FileError.h"
#include "engine/TableReader.h"
#include "engine/Utf16.h"
#include "engine/ValueText.h"
#include "export/CsvField.h"
#include "export/PageRuns.h"
#include "export/TablePool.h"

namespace cli {
namespace {

std::u16string Lower(std::u16string text) {
  for (auto& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

// The user table named `wanted` exactly, as its name or as schema.name.
const mendora::_SYSOBJECTS* FindTable(const AnalysedFile& a, const std::u16string& wanted,
                                      std::vector<std::u16string>& caseOnly) {
  const mendora::_SYSOBJECTS* found = nullptr;
  for (const auto& t : a.catalogue.userTables) {
    const std::u16string& schema = t.schemaName;
    std::u16string qualified = schema.empty() ? std::u16string() : schema + u"." + t.name;
    if (t.name == wanted || (!qualified.empty() && qualified == wanted)) {
      if (!found) found = &t;
    } else if (Lower(t.name) == Lower(wanted)) {
      caseOnly.push_back(t.name);
    } else if (!qualified.empty() && Lower(qualified) == Lower(wanted)) {
      caseOnly.push_back(qualified);
    }
  }
  return found;
}

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

// Tab-separated text has no quoting: the characters that would break a field
// or a line are written as backslash escapes, and NULL as \N.
void AppendTsvField(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out.push_back(c);
    }
  }
}

// What reading the rows skipped or could not read whole, on standard error.
void PrintReadCounts(const mendora::TableReadStats& stats, std::ostream& err) {
  if (stats.skippedRecords) err << "skipped records: " << stats.skippedRecords << "\n";
  if (stats.unreadableCells) err << "unreadable cells: " << stats.unreadableCells << "\n";
  if (stats.codePageErrors) {
    err << "cells with bytes outside their code page: " << stats.codePageErrors << "\n";
  }
}

// The live rows of one table read by a pool of workers, a run of pages
// each, formatted by `format` and written in Read's order. The counts of all
// runs together.
using FormatRow =
    std::function<void(const mendora::RowValues& row, std::string& into, std::string& scratch)>;
mendora::TableReadStats ReadInPageRuns(const AnalysedFile& a, int64_t tableId, unsigned workers,
                                       mendora::JobControl& job, std::ostream& out,
                                       const FormatRow& format) {
  struct Run {
    std::string text;
    std::string scratch;
  };
  try {
    return mendora::ReadInPageRuns<Run>(
        a.file, a.catalogue, tableId, workers, job,
        [&](const mendora::RowValues& row, Run& run) { format(row, run.text, run.scratch); },
        [&](Run& run) {
          out << run.text;
          // The output is gone: nothing more to write to.
          if (!out) throw mendora::JobStopped();
        });
  } catch (const mendora::JobStopped&) {
    if (out) throw;
  }
  return {};
}

// One table's rows, as `rows` writes them; 1 when they are not read.
// `pageWorkers` other than 1: the live rows of the table are read by that
// many workers (0: one per hardware thread), a run of pages each.
int RowsOfTable(const AnalysedFile& a, const mendora::_SYSOBJECTS* table,
                const RowsOptions& options, unsigned pageWorkers, mendora::JobControl& job,
                std::ostream& out, std::ostream& err) {
  const bool recovered = options.deleted || options.all;
  {
    const mendora::TableReader probe(a.file, a.catalogue, table->id);
    if (!probe.NotReadReason().empty()) {
      err << mendora::ToUtf8(table->name) << ": " << probe.NotReadReason() << "\n";
      return 1;
    }
  }
  mendora::DamageReport damage;
  mendora::DeletedRowReader reader(a.file, a.catalogue, table->id);
  reader.SetDamageReport(&damage);
  std::vector<std::string> names;
  if (recovered) names = {"_found_at", "_why"};
  for (const auto& c : reader.Columns()) names.push_back(mendora::ToUtf8(c.name));

  // Field `field` of a line, after its separator: NULL as the format writes
  // it; with `number`, a JSON value that needs no quotes.
  auto appendField = [&](std::string& line, size_t field, std::string_view value, bool null,
                         bool number) {
    if (field) line.push_back(options.format == RowsFormat::kTsv ? '\t' : ',');
    switch (options.format) {
      case RowsFormat::kCsv:
        if (!null) mendora::AppendCsvField(line, value);
        break;
      case RowsFormat::kTsv:
        if (null) {
          line += "\\N";
        } else {
          AppendTsvField(line, value);
        }
        break;
      case RowsFormat::kJson:
        AppendJsonString(line, names[field]);
        line.push_back(':');
        if (null) {
          line += "null";
        } else if (number) {
          line += value;
        } else {
          AppendJsonString(line, value);
        }
        break;
    }
  };
  const char* const lineEnd = options.format == RowsFormat::kJson  ? "}\n"
                              : options.format == RowsFormat::kCsv ? "\r\n"
                                                                   : "\n";
  std::string line;
  if (options.format != RowsFormat::kJson && !options.damage) {
    for (size_t i = 0; i < names.size(); ++i) appendField(line, i, names[i], false, false);
    line += lineEnd;
    out << line;
  }
  uint64_t written = 0;
  std::string text;
  // One row appended to `line`: the two leading texts (with --deleted or
  // --all), then the values; `text` is scratch.
  auto formatRow = [&](const std::string* foundAt, const char* why, const mendora::RowValues& row,
                       std::string& line, std::string& text) {
    if (options.format == RowsFormat::kJson) line.push_back('{');
    size_t field = 0;
    if (recovered) {
      appendField(line, field++, foundAt ? *foundAt : std::string_view(), false, false);
      appendField(line, field++, why ? why : "", false, false);
    }
    for (const mendora::Value& v : row) {
      text.clear();
      mendora::AppendExactText(v, text);
      appendField(line, field++, text, v.IsNull(),
                  options.format == RowsFormat::kJson && mendora::IsJsonNumber(v));
    }
    line += lineEnd;
  };
  // Lines go out in blocks of about 64 KiB.
  constexpr size_t kOutBytes = 64 * 1024;
  line.clear();
  auto emit = [&] {
    out << line;
    line.clear();
    return static_cast<bool>(out);
  };
  auto writeRow = [&](const std::string* foundAt, const char* why, const mendora::RowValues& row) {
    if (options.damage) return true;
    if (options.limit && written >= *options.limit) return false;
    formatRow(foundAt, why, row, line, text);
    // The output is gone: nothing more to write to.
    if (line.size() >= kOutBytes && !emit()) return false;
    ++written;
    return !options.limit || written < *options.limit;
  };
  auto onLive = [&](const mendora::RowValues& row) { return writeRow(nullptr, nullptr, row); };
  if (recovered) {
    std::string foundAt;
    reader.Read(job,
                options.all || options.damage ? mendora::TableReader::RowSink(onLive) : nullptr,
                [&](const mendora::RecoveredRow& row) {
                  foundAt = mendora::FoundAtText(row.at);
                  return writeRow(&foundAt, mendora::DeletedWhyText(row.why), row.values);
                });
  } else if (pageWorkers != 1 && !options.damage && !options.limit) {
    const mendora::TableReadStats stats =
        ReadInPageRuns(a, table->id, pageWorkers, job, out,
                       [&](const mendora::RowValues& row, std::string& into, std::string& scratch) {
                         formatRow(nullptr, nullptr, row, into, scratch);
                       });
    PrintReadCounts(stats, err);
  } else {
    mendora::TableReader live(a.file, a.catalogue, table->id);
    live.SetDamageReport(&damage);
    live.Read(job, onLive);
    if (!options.damage) PrintReadCounts(live.Stats(), err);
  }
  emit();
  if (options.damage) {
    for (const auto& e : damage.Entries()) out << mendora::DamageLine(e) << "\n";
    if (damage.NotKept()) err << "damage entries not kept: " << damage.NotKept() << "\n";
  } else if (recovered) {
    PrintReadCounts(reader.LiveStats(), err);
  }
  return 0;
}

// Output of one table cut into pieces of about 64 KiB for the pool.
struct RowsPiece {
  std::string out;
  std::string err;
  int status = 0;
  bool last = false;
};

class PieceBuffer final : public std::streambuf {
 public:
  explicit PieceBuffer(const mendora::TablePool<RowsPiece>::Put& put) : put_(put) {}
  void Hand() {
    if (text_.empty()) return;
    RowsPiece piece;
    piece.out = std::move(text_);
    text_ = std::string();
    text_.reserve(kPieceBytes + kPieceBytes / 4);
    put_(std::move(piece));
  }

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) text_.push_back(static_cast<char>(c));
    if (text_.size() >= kPieceBytes) Hand();
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* data, std::streamsize n) override {
    text_.append(data, static_cast<size_t>(n));
    if (text_.size() >= kPieceBytes) Hand();
    return n;
  }

 private:
  static constexpr size_t kPieceBytes = 64 * 1024;
  const mendora::TablePool<RowsPiece>::Put& put_;
  std::string text_;
};

// Several tables, read at once by a pool of workers and written one after
// the other in the order named, each exactly as it would be alone.
int RowsOfTables(const AnalysedFile& a, const std::vector<const mendora::_SYSOBJECTS*>& tables,
                 const RowsOptions& options, std::ostream& out, std::ostream& err) {
  int status = 0;
  mendora::TablePool<RowsPiece> pool(options.jobs);
  mendora::TablePool<RowsPiece>::Steps steps;
  steps.make = [&](size_t i, mendora::JobControl& job,
                   const mendora::TablePool<RowsPiece>::Put& put) {
    PieceBuffer buffer(put);
    std::ostream tableOut(&buffer);
    std::ostringstream tableErr;
    RowsPiece last;
    last.last = true;
    last.status = RowsOfTable(a, tables[i], options, 1, job, tableOut, tableErr);
    buffer.Hand();
    last.err = tableErr.str();
    put(std::move(last));
  };
  steps.take = [&](size_t, RowsPiece& piece) {
    out << piece.out;
    err << piece.err;
    if (piece.status) status = piece.status;
    // The output is gone: nothing more to write to.
    if (!out) throw mendora::JobStopped();
  };
  mendora::NullJobControl job;
  try {
    pool.Run(tables.size(), job, steps);
  } catch (const mendora::JobStopped&) {
    return 1;
  }
  return status;
}

}  // namespace

int Rows(const RowsOptions& options, std::ostream& out, std::ostream& err) {
  try {
    AnalysedFile a;
    OpenAndAnalyse(options.path, a, err);
    if (!a.supported) return 1;
    if (options.codePage) mendora::UseCodePage(a.catalogue, *options.codePage);
    // Every name is found before any row is written.
    std::vector<const mendora::_SYSOBJECTS*> tables;
    for (const std::string& name : options.tables) {
      std::vector<std::u16string> caseOnly;
      const mendora::_SYSOBJECTS* table = FindTable(a, mendora::FromUtf8(name), caseOnly);
      if (!table) {
        err << "No table named " << name << "\n";
        for (const auto& other : caseOnly) err << "  " << mendora::ToUtf8(other) << "\n";
        return 1;
      }
      tables.push_back(table);
    }
    int status = 0;
    if (tables.size() == 1) {
      status = RowsOfTable(a, tables[0], options, options.jobs, a.job, out, err);
    } else {
      status = RowsOfTables(a, tables, options, out, err);
    }
    if (!WroteAll(out, err)) return 1;
    return status;
  } catch (const mendora::FileError& e) {
    err << e.what() << "\n";
    return 1;
  }
}

}  // namespace cli
