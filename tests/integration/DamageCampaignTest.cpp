// Damaged copies of the real files through the command line, as a user would
// meet them: random byte flips, zeroed or scrambled catalogue pages, cut
// files, page chains that loop and slot counts that claim the whole page. No
// copy may crash, hang, exit 0 without a catalogue, or break the one line per
// node of the output. The sanitizer build runs the same cases.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "tests/integration/CliRun.h"
#include "tests/integration/ReferenceFiles.h"
#include "tests/support/RealFiles.h"

using namespace mdftest;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

void PutU16(std::string& file, size_t at, uint16_t v) {
  if (at + 2 > file.size()) return;
  file[at] = static_cast<char>(v & 0xFF);
  file[at + 1] = static_cast<char>(v >> 8);
}
void PutU32(std::string& file, size_t at, uint32_t v) {
  PutU16(file, at, static_cast<uint16_t>(v));
  PutU16(file, at + 2, static_cast<uint16_t>(v >> 16));
}

// Pages whose header names a catalogue table (2000 or 2005/2008 ids).
std::vector<size_t> CataloguePages(const std::string& file) {
  std::vector<size_t> pages;
  for (size_t p = 0; (p + 1) * 8192 <= file.size(); ++p) {
    const auto* h = reinterpret_cast<const unsigned char*>(file.data() + p * 8192);
    const uint32_t object = h[24] | (h[25] << 8) | (h[26] << 16) | (uint32_t{h[27]} << 24);
    if (h[1] == 1 && (object <= 14 || object == 34 || object == 41 || object == 54 ||
                      object == 60 || object == 64))
      pages.push_back(p);
  }
  return pages;
}

std::string Damaged(const std::string& original, int kind, std::mt19937& rng) {
  std::string file = original;
  const size_t pages = file.size() / 8192;
  std::vector<size_t> catalogue = CataloguePages(file);
  auto anyPage = [&] { return std::uniform_int_distribution<size_t>(0, pages - 1)(rng); };
  auto catPage = [&] {
    return catalogue.empty()
               ? anyPage()
               : catalogue[std::uniform_int_distribution<size_t>(0, catalogue.size() - 1)(rng)];
  };
  switch (kind % 6) {
    case 0:  // random byte flips all over
      for (int i = 0; i < 200; ++i) {
        file[std::uniform_int_distribution<size_t>(0, file.size() - 1)(rng)] ^=
            static_cast<char>(1 + rng() % 255);
      }
      break;
    case 1: {  // a catalogue page scrambled
      const size_t p = catPage();
      for (size_t i = 96; i < 8192; ++i) file[p * 8192 + i] = static_cast<char>(rng());
      break;
    }
    case 2:  // cut short
      file.resize(std::uniform_int_distribution<size_t>(1, pages)(rng) * 8192 - rng() % 3000);
      break;
    case 3: {  // next-page and previous-page links that loop
      for (int i = 0; i < 20; ++i) {
        const size_t p = i % 2 ? catPage() : anyPage();
        PutU32(file, p * 8192 + 16, static_cast<uint32_t>(i % 3 ? p : catPage()));
      }
      break;
    }
    case 4:  // slot counts and offsets claiming the whole page
      for (int i = 0; i < 10; ++i) {
        const size_t p = catPage();
        PutU16(file, p * 8192 + 22, static_cast<uint16_t>(i % 2 ? 0xFFFF : 4048));
        PutU16(file, p * 8192 + 8190, static_cast<uint16_t>(rng()));
      }
      break;
    case 5: {  // record fields pushed to their extremes on catalogue pages
      for (int i = 0; i < 60; ++i) {
        const size_t p = catPage();
        const size_t at = p * 8192 + 96 + rng() % 8000;
        PutU16(file, at, static_cast<uint16_t>(i % 2 ? 0xFFFF : 0x7FFF));
      }
      break;
    }
  }
  return file;
}

class DamageCampaign : public ::testing::TestWithParam<std::string> {};

// A table of each file, read live and deleted on every damaged copy.
std::string TableOf(const std::string& file) {
  if (file == "v539-pubs.mdf") return "authors";
  if (file == "v611-northwind.mdf") return "Orders";
  if (file == "v655-students.mdf") return "SinhVien";
  return "\xE9\x80\x9A\xE8\xA8\x8A\xE9\x8C\x84";  // 通訊錄
}

TEST_P(DamageCampaign, NoCrashNoHangNoSilentEmptySuccess) {
  const std::string original = ReadFile(RealMdf(GetParam()));
  ASSERT_GT(original.size(), 16u * 8192);
  std::mt19937 rng(20261207);
  TempFile copy;
  for (int n = 0; n < 24; ++n) {
    SCOPED_TRACE("damage kind " + std::to_string(n % 6) + ", case " + std::to_string(n));
    WriteFile(copy.path(), Damaged(original, n, rng));
    for (const char* command : {"info", "tree"}) {
      CliRun run = RunCli({command, copy.path()}, nullptr, 10);
      ASSERT_TRUE(run.status == 0 || run.status == 1)
          << command << " ended with status " << run.status << "\n"
          << run.err;
      if (run.status == 0 && std::string(command) == "info") {
        EXPECT_EQ(run.out.find("objects: 0\n"), std::string::npos) << "exit 0 with no catalogue";
      }
      for (char c : run.out) {
        ASSERT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << "a control character";
        ASSERT_NE(c, '\x7F');
      }
    }
    // Live and deleted rows of a table, printing what was skipped: one line
    // of five fields for each.
    CliRun run =
        RunCli({"rows", copy.path(), TableOf(GetParam()), "--all", "--damage"}, nullptr, 10);
    ASSERT_TRUE(run.status == 0 || run.status == 1)
        << "rows --all --damage ended with status " << run.status << "\n"
        << run.err;
    size_t tabs = 0;
    for (char c : run.out) {
      if (c == '\t') ++tabs;
      if (c != '\n') continue;
      ASSERT_EQ(tabs, 4u) << run.out;
      tabs = 0;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, DamageCampaign,
                         ::testing::Values("v539-pubs.mdf", "v611-northwind.mdf",
                                           "v655-students.mdf", "v655-members-cjk.mdf"),
                         mdftest::FileTestName());

}  // namespace

namespace {

TEST(DamageWarnings, DamageIsSaidNotHiddenAndHealthyFilesSayNothing) {
  std::string file = ReadFile(RealMdf("v655-students.mdf"));
  // An allocated page that carries another page's number.
  PutU32(file, 100 * 8192 + 32, 4242);
  TempFile misplaced, cut;
  WriteFile(misplaced.path(), file);
  WriteFile(cut.path(), file.substr(0, 170 * 8192));

  CliRun one = RunCli({"info", misplaced.path()});
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_NE(one.out.find("\nwarning: 1 allocated pages carry another page's header"),
            std::string::npos)
      << one.out;
  CliRun shorter = RunCli({"info", cut.path()});
  EXPECT_EQ(shorter.status, 0) << shorter.err;
  EXPECT_NE(shorter.out.find("catalogue references point past the end of the file"),
            std::string::npos)
      << shorter.out;

  for (const auto& name : ReferenceFiles()) {
    CliRun healthy = RunCli({"info", RealMdf(name)});
    EXPECT_EQ(healthy.out.find("warning:"), std::string::npos) << name << "\n" << healthy.out;
  }
}

}  // namespace
