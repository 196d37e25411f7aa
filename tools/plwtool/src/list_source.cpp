#include "list_source.h"

#include <fstream>
#include <iterator>

#include "entrylist/errors.h"
#include "entrylist/list_file.h"
#include "host.h"

namespace plwtool {

namespace {

class LineReader {
 public:
  LineReader(const std::string& bytes, RawFile& raw) : b_(bytes), raw_(raw) {}

  bool AtPhysicalEnd() const { return i_ >= b_.size(); }
  bool AtEnd() const { return AtPhysicalEnd() || b_[i_] == '\x1A'; }
  std::size_t Remaining() const { return b_.size() - i_; }

  // False (and an empty line) past the end of the file.
  bool Next(std::string& line) {
    line.clear();
    if (AtPhysicalEnd()) return false;
    bool cut = false;
    while (i_ < b_.size() && b_[i_] != '\n') {
      const char c = b_[i_++];
      if (c == '\r') {
        if (i_ < b_.size() && b_[i_] != '\n') raw_.loneCr = true;
        continue;
      }
      if (c == '\0') cut = true;
      if (!cut) line += c;
    }
    if (i_ < b_.size()) {
      if (i_ == 0 || b_[i_ - 1] != '\r') raw_.lfOnly = true;
      ++i_;
    }
    return true;
  }

 private:
  const std::string& b_;
  RawFile& raw_;
  std::size_t i_ = 0;
};

}  // namespace

RawFile SplitRaw(const std::string& bytes) {
  RawFile raw;
  raw.size = bytes.size();
  LineReader r(bytes, raw);
  r.Next(raw.version);
  raw.nothingAfterVersion = r.AtPhysicalEnd();
  // The reader takes one record before its first end test.
  do {
    RawRecord rec;
    for (auto& line : rec.lines) {
      if (r.Next(line)) ++rec.present;
    }
    raw.records.push_back(std::move(rec));
  } while (!r.AtEnd());
  raw.ignoredTail = r.Remaining();
  return raw;
}

LoadedList LoadList(const std::string& path) {
  LoadedList out;
  try {
    if (pallomar::ReadListFile(path, out.list) == pallomar::ListFileReadResult::HeaderNotAccepted) {
      out.status = LoadStatus::NotAList;
    } else {
      out.status = LoadStatus::Loaded;
    }
  } catch (const pallomar::EInOutError& e) {
    out.status = LoadStatus::Failed;
    out.errorCode = e.Code();
    out.error = SjisToUtf8(e.what()).value_or(e.what());
    return out;
  }
  std::ifstream f(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  out.raw = SplitRaw(bytes);
  // A second look at a file that changed meanwhile (or vanished) describes another file.
  const std::string& v = out.raw.version;
  const bool accepted = v == "100" || v == "101" || v == "102";
  out.rawFits = !f.bad() && (out.status == LoadStatus::Loaded
                                 ? accepted && out.raw.records.size() == out.list.Count()
                                 : !accepted);
  if (!out.rawFits) {
    out.raw = RawFile();
    if (out.status == LoadStatus::Loaded) out.raw.version = "102";
  }
  if (out.rawFits && out.status == LoadStatus::Loaded && out.raw.nothingAfterVersion &&
      out.list.Count() == 1) {
    out.list.Clear();
    out.droppedPhantom = true;
  }
  return out;
}

}  // namespace plwtool
