// The window's behaviour over the scripted platform, the in-memory controls and list files in
// an in-memory file system.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "entrylist/codepage.h"
#include "entrylist/entry_list.h"
#include "fake_form_view.h"
#include "form.h"
#include "memory_file_system.h"
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
  // Names without a folder are in the file system's current folder.
  void WriteRaw(const std::string& name, std::string_view bytes) {
    files.Put(name, std::string(bytes));
  }
  std::string ReadRaw(const std::string& name) const { return files.Get(name).value_or(""); }
  // A dialog answers with a full path.
  std::string Full(const std::string& name) const { return files.Full(name); }
  void MakeFolder(const std::string& name) { files.AddFolder(name); }

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
  MemoryFileSystem files;
  TForm1 form{view, platform, files, Cp932()};
};

}  // namespace pallomar::testing
