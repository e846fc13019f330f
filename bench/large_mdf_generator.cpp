// Writes a large synthetic 2008 (version 655) data file for the analysis
// benchmark: many tables of many rows, with keys, indexes, checks, modules and
// dependencies, laid out by CatalogueBuilder. Pages are streamed to disk as
// they are made, so the file can be far larger than memory.
//
//   large_mdf_generator OUT.mdf [--size-mib N] [--tables N]
//
// The default is 1100 MiB in 400 tables.
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
      IntColumn(u"Id", true),        CharColumn(u"Code", 8),      NVarCharColumn(u"Name", 40),
      BigIntColumn(u"Amount"),       BitColumn(u"Active"),        BitColumn(u"Archived"),
      VarCharColumn(u"Note", 80),    IntColumn(u"ParentId"),      CharColumn(u"Region", 2),
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

int Usage() {
  std::fprintf(stderr, "usage: large_mdf_generator OUT.mdf [--size-mib N] [--tables N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string path = argv[1];
  uint64_t sizeMib = 1100;
  int tables = 400;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--size-mib") == 0) {
      sizeMib = std::strtoull(argv[i + 1], nullptr, 10);
    } else if (std::strcmp(argv[i], "--tables") == 0) {
      tables = std::atoi(argv[i + 1]);
    } else {
      return Usage();
    }
  }
  if (tables < 1 || sizeMib < 1) return Usage();

  const uint64_t pages = sizeMib * 1024 * 1024 / 8192;
  const uint64_t rowsPerPage = (8192 - 96) / RowBytes();
  // Rows without a note are shorter than the sample, so more fit a page than
  // the sample says: a fifth more rows keeps the file past the target.
  const uint64_t rowsPerTable = pages / static_cast<uint64_t>(tables) * rowsPerPage * 6 / 5 + rowsPerPage;

  CatalogueBuilder cat(655, u"LargeBench");
  std::vector<int32_t> ids;
  for (int t = 0; t < tables; ++t) {
    int32_t id = cat.AddGeneratedTable(Name("Table_", t), Columns(), rowsPerTable,
                                       [t](uint64_t i) { return MakeRow(t, i); });
    ids.push_back(id);
    cat.AddKey(id, Name("PK_Table_", t), "PK", {1}, true);
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
  if (static_cast<uint64_t>(st.st_size) < sizeMib * 1024 * 1024) {
    std::fprintf(stderr, "the file came out smaller than %llu MiB\n",
                 static_cast<unsigned long long>(sizeMib));
    return 1;
  }
  return 0;
}
