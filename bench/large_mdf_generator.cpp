// Writes a large synthetic data file (2008, version 655, unless --version
// names another release of 2005 or later, e.g. 904 for 2019) for the analysis
// benchmark: many tables of many rows, with keys, indexes, checks, modules and
// dependencies, laid out by CatalogueBuilder. Pages are streamed to disk as
// they are made, so the file can be far larger than memory.
//
//   large_mdf_generator OUT.mdf [--size-mib N] [--tables N] [--mixed] [--version N]
//
// The default is 1100 MiB in 400 tables, every table clustered on its key.
// With --mixed, every fourth table also has an ntext and a varbinary(max)
// column holding values of 10 to 100 KB off the row in some rows, and every
// fourth table (another quarter) is a heap where every twentieth row was
// moved: its slot holds a forwarding stub.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/CatalogueBuilder.h"

using namespace mdftest;

namespace {

std::u16string Name(const std::string& prefix, int n) {
  std::string s = prefix + std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

const std::vector<ColumnDef>& Columns() {
  static const std::vector<ColumnDef> columns = {
      IntColumn(u"Id", true),     CharColumn(u"Code", 8), NVarCharColumn(u"Name", 40),
      BigIntColumn(u"Amount"),    BitColumn(u"Active"),   BitColumn(u"Archived"),
      VarCharColumn(u"Note", 80), IntColumn(u"ParentId"), CharColumn(u"Region", 2),
  };
  return columns;
}

// Row `i` of table `t`: values vary with both, some columns are NULL.
Row MakeRow(int t, uint64_t i) {
  auto n = static_cast<int32_t>(i);
  std::string code = "C" + std::to_string((i * 7919 + t) % 10000000);
  std::u16string name = u"Customer " + Name("", n % 100000) + u" of table " + Name("", t);
  std::string note = i % 4 ? "Ordered " + std::to_string(i % 97) + " items, shipped by road" : "";
  return {IntValue(n),
          CharValue(code, 8),
          NVarCharValue(name),
          BigIntValue(static_cast<int64_t>(i) * 1031 - 500000),
          BitValue(i % 2 == 0),
          BitValue(i % 7 == 0),
          note.empty() ? kNull : VarCharValue(note),
          i % 5 ? IntValue(n / 2) : kNull,
          CharValue(i % 3 ? "EU" : "US", 2)};
}

// Every fourth table, from the first: large values besides the usual columns.
bool HasLargeValues(int t) {
  return t % 4 == 1;
}
// Every fourth table, from the third: a heap with forwarded rows.
bool IsForwardingHeap(int t) {
  return t % 4 == 3;
}

// One row in kLargeEvery carries a large value, alternately ntext and
// varbinary(max), of 10 to 100 KB.
constexpr uint64_t kLargeEvery = 50;
constexpr uint64_t kForwardEvery = 20;

size_t LargeBytes(int t, uint64_t i) {
  return 10240 + ((i / kLargeEvery) * 7919 + t * 104729) % 92161;
}

std::vector<ColumnDef> LargeColumns() {
  std::vector<ColumnDef> columns = Columns();
  columns.push_back(NTextColumn(u"Body"));
  columns.push_back(MaxColumn(u"Attachment", xtype::kVarBinary));
  return columns;
}

Row MakeLargeRow(int t, uint64_t i) {
  Row row = MakeRow(t, i);
  Value body = kNull, attachment = kNull;
  if (i % kLargeEvery == 0) {
    const size_t units = LargeBytes(t, i) / 2;
    std::u16string text;
    text.reserve(units);
    for (size_t k = 0; k < units; ++k)
      text.push_back(static_cast<char16_t>(u'a' + (k * 31 + i) % 26));
    // Past 40 KB the root leads through an inner node.
    body = LargeValue(Utf16(text), units * 2 > 40960 ? LobShape::kTree : LobShape::kLargeRoot);
  } else if (i % kLargeEvery == kLargeEvery / 2) {
    ByteVec bytes(LargeBytes(t, i));
    for (size_t k = 0; k < bytes.size(); ++k)
      bytes[k] = static_cast<std::byte>((k * 131 + i) & 0xFF);
    attachment = LargeValue(bytes, LobShape::kInRowRoot);
  }
  row.push_back(body);
  row.push_back(attachment);
  return row;
}

// The bytes one row takes on a page, with its slot.
size_t RowBytes() {
  ByteVec sample = RecordBuilder()
                       .Fixed(ByteVec(4 + 8 + 8 + 1 + 4 + 2))
                       .Columns(9)
                       .Var(NVarCharValue(u"Customer 12345 of table 123").value())
                       .Var(VarCharValue("Ordered 12 items, shipped by road").value())
                       .Build();
  return sample.size() + 2;
}

// Pages a table of large values uses per row, on average: the row with its
// two extra columns, and a share of the large values' fragments.
double LargePagesPerRow(size_t rowsPerPage) {
  const double averageLarge = (10240 + 92161 / 2) / 8040.0 + 1;
  return 1.0 / static_cast<double>(rowsPerPage) + averageLarge / (kLargeEvery / 2);
}

int Usage() {
  std::fprintf(stderr,
               "usage: large_mdf_generator OUT.mdf [--size-mib N] [--tables N] [--mixed] "
               "[--version N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string path = argv[1];
  uint64_t sizeMib = 1100;
  int tables = 400;
  bool mixed = false;
  int version = 655;
  for (int i = 2; i < argc; i += 2) {
    if (std::strcmp(argv[i], "--mixed") == 0) {
      mixed = true;
      --i;
    } else if (i + 1 >= argc) {
      return Usage();
    } else if (std::strcmp(argv[i], "--size-mib") == 0) {
      sizeMib = std::strtoull(argv[i + 1], nullptr, 10);
    } else if (std::strcmp(argv[i], "--tables") == 0) {
      tables = std::atoi(argv[i + 1]);
    } else if (std::strcmp(argv[i], "--version") == 0) {
      version = std::atoi(argv[i + 1]);
    } else {
      return Usage();
    }
  }
  // The builder writes the 2005-and-later catalogue; 2005 keeps its own layouts.
  if (tables < 1 || sizeMib < 1 || version < 655 || version > 0xFFFF) return Usage();

  const uint64_t pages = sizeMib * 1024 * 1024 / 8192;
  const uint64_t rowsPerPage = (8192 - 96) / RowBytes();
  // Rows without a note are shorter than the sample, so more fit a page than
  // the sample says: a fifth more rows keeps the file past the target.
  const uint64_t rowsPerTable =
      pages / static_cast<uint64_t>(tables) * rowsPerPage * 6 / 5 + rowsPerPage;

  // As many rows in a table of large values as fill the same pages, a fifth more.
  const auto largeRowsPerTable =
      static_cast<uint64_t>(static_cast<double>(pages / static_cast<uint64_t>(tables)) /
                            LargePagesPerRow(rowsPerPage) * 6 / 5) +
      1;

  CatalogueBuilder cat(static_cast<uint16_t>(version), u"LargeBench");
  std::vector<int32_t> ids;
  uint64_t largeValues = 0, forwarded = 0;
  for (int t = 0; t < tables; ++t) {
    int32_t id;
    if (mixed && HasLargeValues(t)) {
      id = cat.AddGeneratedTable(Name("Table_", t), LargeColumns(), largeRowsPerTable,
                                 [t](uint64_t i) { return MakeLargeRow(t, i); });
      largeValues += (largeRowsPerTable + kLargeEvery / 2) / (kLargeEvery / 2);
    } else if (mixed && IsForwardingHeap(t)) {
      TableOptions options;
      for (uint64_t i = 1; i < rowsPerTable; i += kForwardEvery) options.forwardedRows.push_back(i);
      forwarded += options.forwardedRows.size();
      id = cat.AddGeneratedTable(
          Name("Table_", t), Columns(), rowsPerTable, [t](uint64_t i) { return MakeRow(t, i); },
          options);
    } else {
      id = cat.AddGeneratedTable(Name("Table_", t), Columns(), rowsPerTable,
                                 [t](uint64_t i) { return MakeRow(t, i); });
    }
    ids.push_back(id);
    // A heap keeps its primary key nonclustered.
    cat.AddKey(id, Name("PK_Table_", t), "PK", {1}, !(mixed && IsForwardingHeap(t)));
    cat.AddIndex(id, Name("IX_Table_Code_", t), {2});
    cat.AddCheck(id, Name("CK_Table_Amount_", t), "([Amount]>=(-500000))");
    if (t > 0) {
      int32_t fk = cat.AddObject(Name("FK_Table_Parent_", t), "F ", id);
      cat.AddDependency(28, fk, 1, id, 8);
      cat.AddDependency(29, fk, 1, ids[static_cast<size_t>(t - 1)], 1);
    }
  }
  for (int m = 0; m < tables / 2; ++m) {
    cat.AddModule("P ", Name("usp_Report_", m),
                  "CREATE PROCEDURE usp_Report_" + std::to_string(m) +
                      " AS SELECT Id, Name FROM Table_" + std::to_string(m) + " WHERE Active = 1");
  }

  auto start = std::chrono::steady_clock::now();
  cat.WriteTo(path);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    std::perror(path.c_str());
    return 1;
  }
  std::printf("wrote %s: %.1f MiB, %llu pages, %d tables of %llu rows, in %.1f s\n", path.c_str(),
              st.st_size / 1048576.0, static_cast<unsigned long long>(cat.PageCount()), tables,
              static_cast<unsigned long long>(rowsPerTable), seconds);
  if (mixed) {
    std::printf(
        "mixed: %d tables of %llu rows with about %llu large values, %llu forwarded rows in "
        "heaps\n",
        (tables + 2) / 4, static_cast<unsigned long long>(largeRowsPerTable),
        static_cast<unsigned long long>(largeValues), static_cast<unsigned long long>(forwarded));
  }
  if (static_cast<uint64_t>(st.st_size) < sizeMib * 1024 * 1024) {
    std::fprintf(stderr, "the file came out smaller than %llu MiB\n",
                 static_cast<unsigned long long>(sizeMib));
    return 1;
  }
  return 0;
}
