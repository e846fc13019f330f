// Opening the data file and the version test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "browser/RefusalText.h"
#include "engine/DataFile.h"
#include "engine/FileError.h"
#include "tests/support/MdfBuilder.h"
#include "ui/ProductTexts.h"

using namespace mendora;
using namespace mdftest;

namespace {

std::string FileWithVersionBytes(TempFile& f, uint8_t low, uint8_t high) {
  MdfBuilder b(0, u"db");
  b.Build();
  auto bytes = b.Build();
  bytes[73828] = std::byte{low};
  bytes[73829] = std::byte{high};
  FILE* out = std::fopen(f.path().c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  return f.path();
}

}  // namespace

TEST(VersionTest, AcceptsTheReleasedVersionsAndRefusesEveryOther) {
  // Released versions with their branch, pre-release builds between them,
  // 998 (not seen with content), and numbers with only one byte right.
  struct Case {
    uint16_t stored;
    bool accepted;
    bool catalogue2000;
  };
  for (Case c : {Case{539, true, true},   Case{611, true, false},  Case{655, true, false},
                 Case{660, true, false},  Case{661, true, false},  Case{665, true, false},
                 Case{706, true, false},  Case{782, true, false},  Case{852, true, false},
                 Case{868, true, false},  Case{869, true, false},  Case{904, true, false},
                 Case{957, true, false},  Case{590, false, false}, Case{598, false, false},
                 Case{607, false, false}, Case{684, false, false}, Case{851, false, false},
                 Case{895, false, false}, Case{902, false, false}, Case{950, false, false},
                 Case{998, false, false}, Case{27, false, false},  Case{768 + 27, false, false},
                 Case{0, false, false}}) {
    SCOPED_TRACE(c.stored);
    TempFile f;
    DataFile file;
    ASSERT_TRUE(file.Open(FileWithVersionBytes(f, c.stored & 0xFF, c.stored >> 8)));
    EXPECT_EQ(file.DetectVersion(), c.accepted);
    EXPECT_EQ(file.Version().Number(), c.accepted ? c.stored : 0);
    EXPECT_EQ(file.Version().Release().empty(), !c.accepted);
    EXPECT_EQ(file.Version().HasSysObjectsCatalogue(), c.accepted && c.catalogue2000);
    EXPECT_EQ(file.Version().HasBaseTableCatalogue(), c.accepted && !c.catalogue2000);
    EXPECT_EQ(file.Version().HasRsColsLayouts(), c.accepted && !c.catalogue2000 && c.stored != 611);
    int flags = file.Version().Version539 + file.Version().Version611 + file.Version().Version655 +
                file.Version().VersionLater;
    EXPECT_EQ(flags, c.accepted ? 1 : 0);
  }
}

TEST(VersionTest, ShortFileIsRefusedAndClosed) {
  TempFile f;
  MdfBuilder b(655, u"db", 9);  // ends before the boot page
  b.WriteTo(f.path());
  DataFile file;
  ASSERT_TRUE(file.Open(f.path()));
  std::string refusal;
  bool analysed = false;
  EXPECT_FALSE(DetectVersionAndAnalyse(
      file, [&] { analysed = true; }, [&](Refusal r) { refusal = RefusalText(r); }));
  EXPECT_FALSE(analysed);
  EXPECT_EQ(refusal, texts::kNotDataFile) << "too short to be a data file of any version";
  EXPECT_FALSE(file.IsOpen());
  EXPECT_TRUE(file.Path().empty());
  EXPECT_EQ(file.FileSize(), 9u * 8192);
}

TEST(VersionTest, SupportedFileRunsTheAnalysisAndStaysOpen) {
  TempFile f;
  MdfBuilder(611, u"db").WriteTo(f.path());
  DataFile file;
  ASSERT_TRUE(file.Open(f.path()));
  bool analysed = false;
  EXPECT_TRUE(DetectVersionAndAnalyse(
      file, [&] { analysed = true; }, nullptr));
  EXPECT_TRUE(analysed);
  EXPECT_TRUE(file.IsOpen());
  EXPECT_TRUE(file.Version().Version611);
  EXPECT_EQ(file.PageCount(), 16u);
}

TEST(CFile64Test, MissingFileAndFolderAreRefused) {
  CFile64 file;
  EXPECT_FALSE(file.Open("/nonexistent-folder/none.mdf"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(file.Open("/tmp"));
  EXPECT_FALSE(file.IsOpen());
}

TEST(CFile64Test, AFileLockedByAnotherProcessIsRefused) {
  TempFile f;
  MdfBuilder(655, u"db").WriteTo(f.path());
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int fd = open(f.path().c_str(), O_RDONLY);
    char c = flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
    (void)!write(ready[1], &c, 1);
    (void)!read(done[0], &c, 1);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');

  CFile64 file;
  EXPECT_FALSE(file.Open(f.path()));
  EXPECT_EQ(errno, EWOULDBLOCK);

  (void)!write(done[1], "x", 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(file.Open(f.path())) << "the file is free once the other process lets go";

  // Our readers share it: the window and the command line read one file together.
  CFile64 second;
  EXPECT_TRUE(second.Open(f.path()));
  // Nobody takes it exclusively while we read it.
  int fd = open(f.path().c_str(), O_RDONLY);
  EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
  close(fd);
}

TEST(CFile64Test, AnythingButARegularFileIsRefusedWithoutWaiting) {
  // A FIFO that nobody writes would block a plain open forever.
  const std::string fifo = testing::TempDir() + "/mendora-fifo";
  unlink(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/null"), std::string("/tmp")}) {
    DataFile file;
    EXPECT_FALSE(file.Open(path)) << path;
    EXPECT_EQ(file.LastOpenRefusal(errno), Refusal::kNotRegularFile) << path;
    EXPECT_STREQ(RefusalText(file.LastOpenRefusal(errno)), texts::kNotRegularFile);
  }
  unlink(fifo.c_str());
  DataFile missing;
  EXPECT_FALSE(missing.Open(""));
  EXPECT_EQ(missing.LastOpenRefusal(errno), Refusal::kCannotOpen);
}

TEST(VersionTest, ADataFileOfAnotherVersionIsToldSoAndAnythingElseIsNoDataFile) {
  TempFile f;
  MdfBuilder(655, u"db").WriteTo(f.path());
  {
    // 573: a version we do not read, on a boot page that is one.
    std::fstream io(f.path(), std::ios::in | std::ios::out | std::ios::binary);
    io.seekp(9 * 8192 + 100);
    io.write("\x3D\x02", 2);
  }
  DataFile file;
  ASSERT_TRUE(file.Open(f.path()));
  Refusal refusal{};
  EXPECT_FALSE(DetectVersionAndAnalyse(file, nullptr, [&](Refusal r) { refusal = r; }));
  EXPECT_EQ(refusal, Refusal::kUnsupportedVersion);

  TempFile noise;
  {
    std::ofstream out(noise.path(), std::ios::binary);
    std::string bytes(16 * 8192, '\xFF');
    out << bytes;
  }
  DataFile other;
  ASSERT_TRUE(other.Open(noise.path()));
  EXPECT_FALSE(DetectVersionAndAnalyse(other, nullptr, [&](Refusal r) { refusal = r; }));
  EXPECT_EQ(refusal, Refusal::kNotADataFile);
}

TEST(CFile64Test, ClosedFileRaisesFileErrorOnRead) {
  CFile64 file;
  std::array<std::byte, 4> buf{};
  try {
    file.ReadAt(0, buf);
    FAIL() << "a read of a closed file must fail";
  } catch (const FileError& e) {
    EXPECT_EQ(e.error(), EBADF);
  }
  EXPECT_THROW(file.GetFileSize(), FileError);
}

TEST(CFile64Test, AFailedReadLeavesTheFileUsable) {
  TempFile f;
  MdfBuilder(655, u"db").WriteTo(f.path());
  DataFile file;
  ASSERT_TRUE(file.Open(f.path()));
  // An offset no file system can hold: pread fails with EINVAL.
  std::array<std::byte, 8> buf{};
  EXPECT_THROW(file.ReadDirect(uint64_t{1} << 63, buf), FileError);
  EXPECT_TRUE(file.IsOpen());
  EXPECT_TRUE(file.DetectVersion());
}
