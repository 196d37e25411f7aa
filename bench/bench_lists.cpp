#include "bench_lists.h"

#include <fstream>
#include <random>

namespace pallomar::bench {

EntryList MakeList(std::size_t n) {
  std::mt19937_64 rng(42);
  // Shift-JIS characters with a 0x5C second byte, and plain words.
  const char* const sjis[] = {"\x95\x5C", "\x83\x5C", "\x8F\x5C", "\x90\x5C"};
  const char* const words[] = {"Program Files", "tools", "app", "Microsoft Office", "bin", "x"};
  EntryList list;
  std::string path;
  std::string folder;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t target = 40 + rng() % 81;
    folder = "c:\\";
    const bool japanese = rng() % 4 == 0;
    while (folder.size() + 12 < target) {
      if (japanese && rng() % 2 == 0) {
        folder += sjis[rng() % 4];
        folder += sjis[rng() % 4];
      } else {
        folder += words[rng() % 6];
      }
      folder += '\\';
    }
    folder.pop_back();
    path = folder + "\\";
    while (path.size() + 4 < target) path += static_cast<char>('a' + rng() % 26);
    path += ".exe";
    const bool params = rng() % 3 == 0;
    list.Append(path, params ? "-n " + std::to_string(i) : std::string(kDummyMarker),
                rng() % 3 == 0 ? folder : std::string(kDummyMarker), std::to_string(rng() % 3),
                rng() % 2 ? "1" : "0");
  }
  return list;
}

bool BaselineRead(const std::string& path, std::vector<BaselineEntry>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  auto line = [&](std::string& s) {
    std::getline(in, s);
    if (!s.empty() && s.back() == '\r') s.pop_back();
  };
  std::string version;
  line(version);
  if (version != "100" && version != "101" && version != "102") return false;
  do {
    BaselineEntry e;
    for (auto& field : e) line(field);
    if (e[1].empty()) e[1] = kDummyMarker;
    if (e[2].empty()) e[2] = kDummyMarker;
    const char flag = e[4] == "True" ? '1' : '0';
    e[4].assign(1, flag);
    out.push_back(std::move(e));
  } while (in && in.peek() != std::char_traits<char>::eof() && in.peek() != 0x1A);
  return true;
}

std::size_t BaselineBytes(const std::vector<BaselineEntry>& entries) {
  std::size_t bytes = entries.capacity() * sizeof(BaselineEntry);
  for (const auto& e : entries) {
    for (const auto& s : e) {
      if (s.capacity() > 15) bytes += s.capacity() + 1;  // beyond the in-object buffer
    }
  }
  return bytes;
}

bool BaselineWrite(const std::string& path, const EntryList& list) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "102\r\n";
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const auto params = list.Get(i, kParams);
    const auto folder = list.Get(i, kFolder);
    out << list.Get(i, kPath) << "\r\n";
    out << (params == kDummyMarker ? std::string_view() : params) << "\r\n";
    out << (folder == kDummyMarker ? std::string_view() : folder) << "\r\n";
    out << list.Get(i, kWindowState) << "\r\n";
    out << (list.Get(i, kRunCheck) == "0" ? "False" : "True") << "\r\n";
  }
  out.close();
  return static_cast<bool>(out);
}

}  // namespace pallomar::bench
