// The window's behaviour over the scripted platform and the in-memory controls, with list files
// in a fresh folder that is the working folder for the test's duration.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "entrylist/codepage.h"
#include "entrylist/entry_list.h"
#include "fake_form_view.h"
#include "file_io.h"
#include "form.h"
#include "platform/scripted_platform.h"

namespace pallomar::testing {

using platform::testing::Call;
using platform::testing::CallKind;
using platform::testing::DialogAnswer;
using platform::testing::ScriptedPlatform;

inline const CodePage& Cp932() {
  static const std::unique_ptr<CodePage> cp = MakeBuiltinCp932();
  return *cp;
}

// The real file system, except for the failures a test asks for.
class FailingFileSystem : public fileio::FileSystem {
 public:
  std::map<std::string, int> openReadFails;  // path -> error number
  // Bytes Read delivers in all before it fails with readFailError; unlimited when unset.
  std::optional<std::size_t> readBudget;
  int readFailError = 5;
  int writeFails = 0;  // error number for every Write, 0 for none

  int OpenRead(const std::string& path, fileio::Handle& h) override {
    auto it = openReadFails.find(path);
    if (it != openReadFails.end()) return it->second;
    return real_.OpenRead(path, h);
  }
  int Size(fileio::Handle h, std::uint64_t& size) override { return real_.Size(h, size); }
  int Read(fileio::Handle h, char* buf, std::size_t n, std::size_t& got) override {
    if (readBudget) {
      if (*readBudget == 0) return readFailError;
      if (n > *readBudget) n = *readBudget;
      const int rc = real_.Read(h, buf, n, got);
      *readBudget -= got;
      return rc;
    }
    return real_.Read(h, buf, n, got);
  }
  int ProbeTarget(const std::string& path, fileio::TargetState& state) override {
    return real_.ProbeTarget(path, state);
  }
  int CreateNew(const std::string& path, const fileio::TargetState& like,
                fileio::Handle& h) override {
    return real_.CreateNew(path, like, h);
  }
  int CreateOrTruncate(const std::string& path, fileio::Handle& h) override {
    return real_.CreateOrTruncate(path, h);
  }
  int Write(fileio::Handle h, const char* data, std::size_t n) override {
    if (writeFails != 0) return writeFails;
    return real_.Write(h, data, n);
  }
  int Flush(fileio::Handle h) override { return real_.Flush(h); }
  int Close(fileio::Handle h) override { return real_.Close(h); }
  int Replace(const std::string& from, const std::string& to,
              const fileio::TargetState& was) override {
    return real_.Replace(from, to, was);
  }
  int Remove(const std::string& path) override { return real_.Remove(path); }
  bool IsFile(const std::string& path) override { return real_.IsFile(path); }

 private:
  fileio::FileSystem& real_ = fileio::Real();
};

// The bytes of a list file holding `entries`, laid out as the reader expects them.
inline std::string ListBytes(const std::vector<Entry>& entries, std::string_view version = "102") {
  std::string out(version);
  out += "\r\n";
  auto line = [&](std::string_view s) {
    out += s;
    out += "\r\n";
  };
  for (const Entry& e : entries) {
    line(e.path);
    line(e.params == kDummyMarker ? "" : e.params);
    line(e.folder == kDummyMarker ? "" : e.folder);
    line(e.windowState);
    line(e.runCheck == "0" ? "False" : "True");
  }
  return out;
}

inline Entry E(std::string path, std::string params = "$dummy$", std::string folder = "$dummy$",
               std::string state = "0", std::string flag = "1") {
  return {std::move(path), std::move(params), std::move(folder), std::move(state), std::move(flag)};
}

class FormFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> serial{0};
    namespace fs = std::filesystem;
    previous_ = fs::current_path();
    dir_ = fs::temp_directory_path() /
           ("pallomar-form-" + std::to_string(ProcessId()) + "-" + std::to_string(++serial));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }

  void TearDown() override {
    fileio::SetCurrent(nullptr);
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(dir_, ec);
  }

  static long ProcessId() {
#ifdef _WIN32
    return static_cast<long>(GetCurrentProcessId());
#else
    return static_cast<long>(getpid());
#endif
  }

  // Names are relative to the test's folder; on this host a backslash may be part of a name.
  static void WriteRaw(const std::string& name, std::string_view bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << name;
  }
  static std::string ReadRaw(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // A dialog answers with a full path.
  static std::string Full(const std::string& name) {
    return (std::filesystem::current_path() / name).string();
  }
  static void MakeFolder(const std::string& name) {
#ifdef _WIN32
    CreateDirectoryA(name.c_str(), nullptr);
#else
    std::filesystem::create_directory(name);
#endif
  }

  // Loads `path` through File > Open.
  void Open(const std::string& path) {
    platform.dialogAnswers.push_back({true, path});
    form.Open1Click();
  }
  void LoadEntries(const std::vector<Entry>& entries, const std::string& name = "list.plw") {
    WriteRaw(name, ListBytes(entries));
    Open(name);
    ASSERT_EQ(form.Model().list.Count(), entries.size());
  }
  std::vector<Entry> Entries() const {
    std::vector<Entry> out;
    for (std::size_t i = 0; i < form.Model().list.Count(); ++i)
      out.push_back(form.Model().list.EntryAt(i));
    return out;
  }
  // The list control must always agree with the model about how many rows there are.
  void ExpectViewRowsMatchModel() const { EXPECT_EQ(view.rows, form.Model().list.Count()); }
  // The error boxes shown, for failure messages.
  std::string ErrorTexts() const {
    std::string out;
    for (const Call& c : platform.CallsOf(CallKind::ErrorBox)) out += "[" + c.text + "] ";
    return out;
  }
  void Forget() {
    platform.calls.clear();
    view.ClearLog();
  }
  PanelValues PanelShown() const {
    PanelValues v;
    v.path = view.edits[0];
    v.params = view.edits[1];
    v.folder = view.edits[2];
    v.windowState = view.radio;
    v.runCheck = view.check;
    return v;
  }

  ScriptedPlatform platform;
  FakeFormView view;
  TForm1 form{view, platform, Cp932()};

 private:
  std::filesystem::path previous_;
  std::filesystem::path dir_;
};

}  // namespace pallomar::testing
