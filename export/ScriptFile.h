// One file the save writes: a script or a batch file. Text is handed over as
// UTF-16 and written in the ANSI code page (Windows-1252), without a
// byte-order mark, with the line ends the caller gives (CR LF in scripts).
// A script whose text holds a character the code page cannot hold (a CJK
// name, an nvarchar value) is turned into UTF-16 with a byte-order mark the
// moment such a character comes, what was already written included, so that
// nothing is lost; sqlcmd reads such a file as Unicode.
//
// Writes are buffered; Close() or Flush() puts them on disk. Destroying an
// open file closes it without writing what is still buffered: a stopped save
// writes nothing after the stop.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace mendora {

class ScriptFile {
 public:
  enum class Mode {
    kCreate,    // a new file, or an existing one emptied
    kAppend,    // created when missing; an existing file is kept, made writable, written at its end
    kExisting,  // only an existing file, written at its end
  };
  // Whether a file may turn into UTF-16: a batch file must stay in the code
  // page, which the command interpreter reads.
  enum class Text { kUnicodeWhenNeeded, kCodePageOnly };

  ScriptFile() = default;
  ~ScriptFile();
  ScriptFile(const ScriptFile&) = delete;
  ScriptFile& operator=(const ScriptFile&) = delete;

  bool Open(const std::string& path, Mode mode, Text text = Text::kUnicodeWhenNeeded);
  bool IsOpen() const { return fd_ >= 0; }
  // False once anything failed; the file then takes nothing more.
  bool Write(std::u16string_view text);
  bool WriteLine(std::u16string_view text) { return Write(text) && Write(u"\r\n"); }
  bool Flush();
  bool Close();
  bool Unicode() const { return unicode_; }
  // What failed, in words, with the path; empty while all went well.
  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& what, int error);
  bool WriteBytes(const char* data, size_t size);
  bool SwitchToUnicode();
  // Room for `n` more bytes after those waiting to be written.
  char* Room(size_t n);

  int fd_ = -1;
  std::string path_;
  Text text_ = Text::kUnicodeWhenNeeded;
  bool unicode_ = false;
  // The bytes waiting to be written, at the front of a block that is
  // grown without being cleared.
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  size_t room_ = 0;
  std::string error_;
};

}  // namespace mendora
