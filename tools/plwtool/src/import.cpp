// `plwtool import`: a list file from the JSON form.
#include <istream>
#include <streambuf>

#include "commands.h"
#include "entrylist/errors.h"
#include "entrylist/list_file.h"
#include "list_form.h"

namespace plwtool {

namespace {

// A file of the file system as a stream, for the JSON reader; a failed read marks it bad.
class FileInput : public std::streambuf {
 public:
  FileInput(pallomar::FileSystem& fs, pallomar::FileHandle h) : fs_(fs), h_(h) {}

 protected:
  int_type underflow() override {
    std::size_t got = 0;
    if (fs_.Read(h_, buf_, sizeof buf_, got) != 0) throw std::ios_base::failure("read failed");
    if (got == 0) return traits_type::eof();
    setg(buf_, buf_, buf_ + got);
    return traits_type::to_int_type(buf_[0]);
  }

 private:
  pallomar::FileSystem& fs_;
  pallomar::FileHandle h_;
  char buf_[64 * 1024];
};

}  // namespace

int ImportCommand(const Io& io, const std::vector<std::string>& args) {
  Args a;
  if (const auto bad = Split(io, args, {}, a)) return *bad;
  if (a.operands.size() < 2)
    return io.Usage(a.operands.empty() ? "import: missing JSON and OUT.plw"
                                       : "import: missing OUT.plw");
  if (a.operands.size() > 2) {
    return io.Usage("import: unexpected argument " + QuotedUtf8(io.Name(a.operands[2])));
  }
  const std::string& source = a.operands[0];
  const std::string& target = a.operands[1];
  const bool standardInput = source == "-";
  const std::string sourceName = standardInput ? "(standard input)" : io.Name(source);
  pallomar::FileHandle h{};
  bool opened = false;
  struct Closer {
    pallomar::FileSystem& fs;
    pallomar::FileHandle& h;
    bool& opened;
    ~Closer() {
      if (opened) (void)fs.Close(h);
    }
  } closer{io.fs, h, opened};
  if (!standardInput) {
    // Opened first, then asked what it is: the name may be swapped for a pipe in between.
    const int e = io.fs.OpenRead(source, h);
    if (e == 0) opened = true;
    if (e == 0 ? !io.fs.IsRegular(h) : io.fs.IsFolder(source)) {
      io.Error("import: " + sourceName + ": not a regular file; only JSON files are read");
      return kExitFailed;
    }
    if (e != 0) {
      io.Error("import: " + sourceName + ": cannot be read: " +
               SjisToUtf8(pallomar::EInOutError(e).what()).value_or("error " + std::to_string(e)));
      return kExitFailed;
    }
  }
  FileInput fileInput(io.fs, h);
  std::istream file(&fileInput);
  std::istream& input = standardInput ? io.in : file;
  const auto unreadable = [&] {
    return standardInput ? io.host.inputFailed && io.host.inputFailed() : input.bad();
  };
  pallomar::EntryList list;
  try {
    list = ReadListJson(input);
  } catch (const JsonError& e) {
    if (unreadable()) {
      io.Error("import: " + sourceName + ": could not be read");
      return kExitFailed;
    }
    io.Error("import: " + sourceName + ":" + std::to_string(e.Pos().line) + ":" +
             std::to_string(e.Pos().column) + ": " + e.what());
    return kExitFailed;
  } catch (const FormError& e) {
    io.Error("import: " + sourceName + ":" + std::to_string(e.Pos().line) + ":" +
             std::to_string(e.Pos().column) + ": " + e.Field() + ": " + e.what());
    return kExitFailed;
  }
  ReportLeftoverCopy(io, "import", target);
  try {
    pallomar::WriteListFile(target, list, io.fs);
  } catch (const pallomar::EInOutError& e) {
    io.Error("import: " + io.Name(target) + ": " + SjisToUtf8(e.what()).value_or(e.what()));
    return kExitFailed;
  }
  if (list.Empty()) {
    io.Error("import: warning: no entries; the editor shows one empty entry for " +
             io.Name(target));
  }
  return kExitOk;
}

}  // namespace plwtool
