// The list-file reader and writer against plain iostream baselines, at 100,000 and 1,000,000
// entries. Prints MB/s, ns per entry and bytes per entry for each.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "bench_lists.h"
#include "entrylist/file_system.h"
#include "entrylist/list_file.h"
#include "entrylist/list_parse.h"
#include "list_file_internal.h"

namespace pallomar::bench {
namespace {

// In memory where the host has such a folder, so that the disk's own write-back (which a
// rename over an existing file can start at once) is measured for neither writer.
std::filesystem::path Folder() {
  static const std::filesystem::path dir = [] {
    std::error_code ec;
    const std::filesystem::path shm = "/dev/shm";
    const auto root =
        std::filesystem::is_directory(shm, ec) ? shm : std::filesystem::temp_directory_path();
    auto d = root / ("pallomar-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

const EntryList& List(std::size_t n) {
  static std::map<std::size_t, std::unique_ptr<EntryList>> lists;
  auto& slot = lists[n];
  if (!slot) slot = std::make_unique<EntryList>(MakeList(n));
  return *slot;
}

// The stored list of `n` entries, written once.
std::string ListFile(std::size_t n) {
  const std::string path = (Folder() / ("list-" + std::to_string(n) + ".plw")).string();
  if (!std::filesystem::exists(path)) WriteListFile(path, List(n));
  return path;
}

// The real file system without the final flush to disk, which measures the disk, not us.
class NoFlush final : public FileSystem {
 public:
  FileSystem& r = RealFileSystem();
  int OpenRead(const std::string& p, FileHandle& h) override { return r.OpenRead(p, h); }
  int Size(FileHandle h, std::uint64_t& s) override { return r.Size(h, s); }
  int Read(FileHandle h, char* b, std::size_t n, std::size_t& g) override {
    return r.Read(h, b, n, g);
  }
  int ProbeTarget(const std::string& p, TargetState& s) override { return r.ProbeTarget(p, s); }
  std::string Beside(const std::string& p, std::string_view n) override { return r.Beside(p, n); }
  int CreateNew(const std::string& p, const TargetState& s, FileHandle& h) override {
    return r.CreateNew(p, s, h);
  }
  int OpenForRewrite(const std::string& p, FileHandle& h) override {
    return r.OpenForRewrite(p, h);
  }
  int Reserve(FileHandle h, std::uint64_t n) override { return r.Reserve(h, n); }
  int Seek(FileHandle h, std::uint64_t n) override { return r.Seek(h, n); }
  int Write(FileHandle h, const char* d, std::size_t n) override { return r.Write(h, d, n); }
  int Flush(FileHandle) override { return 0; }
  int SetLength(FileHandle h, std::uint64_t n) override { return r.SetLength(h, n); }
  int Close(FileHandle h) override { return r.Close(h); }
  int Replace(const std::string& f, const std::string& t, const TargetState& s) override {
    return r.Replace(f, t, s);
  }
  int MoveNew(const std::string& f, const std::string& t) override { return r.MoveNew(f, t); }
  int Remove(const std::string& p) override { return r.Remove(p); }
  bool IsFile(const std::string& p) override { return r.IsFile(p); }
  bool IsFolder(const std::string& p) override { return r.IsFolder(p); }
  bool IsRegular(FileHandle h) override { return r.IsRegular(h); }
};

void Report(benchmark::State& state, std::size_t n, std::size_t fileBytes, std::size_t held) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileBytes));
  state.counters["ns_per_entry"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
  if (held != 0) {
    state.counters["bytes_per_entry"] = static_cast<double>(held) / static_cast<double>(n);
  }
  state.counters["file_bytes_per_entry"] = static_cast<double>(fileBytes) / static_cast<double>(n);
}

// What reading the bytes alone costs: the floor under any reader.
void BM_ReadBytesOnly_Reference(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::string path = ListFile(n);
  const auto size = std::filesystem::file_size(path);
  std::unique_ptr<char[]> buf(new char[size]);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::size_t got = 0;
    while (got < size) {
      const ssize_t r = ::read(fd, buf.get() + got, size - got);
      if (r <= 0) break;
      got += static_cast<std::size_t>(r);
    }
    ::close(fd);
    benchmark::DoNotOptimize(buf.get());
  }
  Report(state, n, size, 0);
}

void BM_ReadListFile(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::string path = ListFile(n);
  const auto size = std::filesystem::file_size(path);
  std::size_t held = 0;
  for (auto _ : state) {
    auto list = std::make_unique<EntryList>();
    if (ReadListFile(path, *list) != ListFileReadResult::Loaded || list->Count() != n) {
      state.SkipWithError("list did not load");
      break;
    }
    held = list->BytesHeld();
    state.PauseTiming();
    list.reset();
    state.ResumeTiming();
  }
  Report(state, n, size, held);
}

// The parser alone, on bytes already in memory: what the reader adds to reading the file.
void BM_ParseInMemory(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::string bytes = listfile::ToBytes(List(n));
  std::size_t held = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<char[]> buf(new char[bytes.size()]);
    std::memcpy(buf.get(), bytes.data(), bytes.size());
    auto list = std::make_unique<EntryList>();
    state.ResumeTiming();
    ParseListBytes(std::move(buf), bytes.size(), *list);
    held = list->BytesHeld();
    state.PauseTiming();
    list.reset();
    state.ResumeTiming();
  }
  Report(state, n, bytes.size(), held);
}

void BM_Baseline_GetlineReader(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::string path = ListFile(n);
  const auto size = std::filesystem::file_size(path);
  std::size_t held = 0;
  for (auto _ : state) {
    auto entries = std::make_unique<std::vector<BaselineEntry>>();
    if (!BaselineRead(path, *entries) || entries->size() != n) {
      state.SkipWithError("baseline did not load");
      break;
    }
    held = BaselineBytes(*entries);
    state.PauseTiming();
    entries.reset();
    state.ResumeTiming();
  }
  Report(state, n, size, held);
}

// Saving a list built entry by entry.
void BM_WriteListFile(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const EntryList& list = List(n);
  const std::string path = (Folder() / "out.plw").string();
  NoFlush fs;
  for (auto _ : state) WriteListFile(path, list, fs);
  Report(state, n, std::filesystem::file_size(path), 0);
}

// Saving a list that was loaded from a file, as after File > Open.
void BM_WriteListFile_Loaded(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  EntryList list;
  ReadListFile(ListFile(n), list);
  const std::string path = (Folder() / "out-loaded.plw").string();
  NoFlush fs;
  for (auto _ : state) WriteListFile(path, list, fs);
  Report(state, n, std::filesystem::file_size(path), 0);
}

// Saving over a list that has a second name: rewritten in place, its earlier bytes kept in
// memory meanwhile.
void BM_WriteListFile_InPlace(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const EntryList& list = List(n);
  const std::string path = (Folder() / "out-linked.plw").string();
  const std::string other = (Folder() / "out-linked-2.plw").string();
  NoFlush fs;
  WriteListFile(path, list, fs);
  std::filesystem::remove(other);
  std::filesystem::create_hard_link(path, other);
  for (auto _ : state) WriteListFile(path, list, fs);
  Report(state, n, std::filesystem::file_size(path), 0);
}

void BM_Baseline_OfstreamWriter(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const EntryList& list = List(n);
  const std::string path = (Folder() / "out-baseline.plw").string();
  for (auto _ : state) {
    if (!BaselineWrite(path, list)) {
      state.SkipWithError("baseline did not write");
      break;
    }
  }
  Report(state, n, std::filesystem::file_size(path), 0);
}

#define PALLOMAR_SIZES ->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->MinTime(1.0)
BENCHMARK(BM_ReadBytesOnly_Reference) PALLOMAR_SIZES;
BENCHMARK(BM_ReadListFile) PALLOMAR_SIZES;
BENCHMARK(BM_ParseInMemory) PALLOMAR_SIZES;
BENCHMARK(BM_Baseline_GetlineReader) PALLOMAR_SIZES;
BENCHMARK(BM_WriteListFile) PALLOMAR_SIZES;
BENCHMARK(BM_WriteListFile_Loaded) PALLOMAR_SIZES;
BENCHMARK(BM_WriteListFile_InPlace) PALLOMAR_SIZES;
BENCHMARK(BM_Baseline_OfstreamWriter) PALLOMAR_SIZES;

}  // namespace
}  // namespace pallomar::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(pallomar::bench::Folder(), ec);
  return 0;
}
