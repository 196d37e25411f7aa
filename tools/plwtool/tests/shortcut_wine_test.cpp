// `plwtool shortcuts` over shortcuts the system itself writes (its shell link object, here
// Wine's): the list holds what each shortcut holds, byte for byte.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdlib>
#include <filesystem>

#include "shortcut_set.h"

namespace plwtool::testing {
namespace {

std::wstring Wide(const std::string& ansi) {
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, w.data(), n);
  w.resize(static_cast<std::size_t>(n - 1));
  return w;
}

// Saves a shortcut through IShellLinkA and IPersistFile; the HRESULT of the first failing step.
HRESULT MakeShortcut(const MadeShortcut& s, const std::string& path) {
  IShellLinkA* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link));
  if (FAILED(hr)) return hr;
  hr = link->SetPath(s.target.c_str());
  if (SUCCEEDED(hr) && !s.arguments.empty()) hr = link->SetArguments(s.arguments.c_str());
  if (SUCCEEDED(hr) && !s.folder.empty()) hr = link->SetWorkingDirectory(s.folder.c_str());
  if (SUCCEEDED(hr)) hr = link->SetShowCmd(s.showCommand);
  IPersistFile* file = nullptr;
  if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(hr)) hr = file->Save(Wide(path).c_str(), TRUE);
  if (file != nullptr) file->Release();
  link->Release();
  return hr;
}

// The targets that must exist for the shell to describe them as files.
class Targets {
 public:
  Targets() {
    const std::string t = kShortcutTargets;
    for (const std::string& folder : {t, t + "\\" + kHyoSjis, t + "\\with space"}) {
      CreateDirectoryA(folder.c_str(), nullptr);
    }
    for (const auto& s : MadeShortcuts()) {
      if (s.target.rfind(t, 0) != 0) continue;
      HANDLE h = CreateFileA(s.target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
  }
  ~Targets() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(Wide(kShortcutTargets)), ec);
  }
  Targets(const Targets&) = delete;
  Targets& operator=(const Targets&) = delete;
};

TEST(ShortcutsFromTheShell, TenShortcutsGiveEightEntriesByteForByteAndTwoNamedLeftovers) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  TempFolder dir;
  const std::string folder = dir.Path("Startup");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  {
    const Targets targets;
    for (const auto& s : MadeShortcuts()) {
      const HRESULT hr = MakeShortcut(s, folder + "\\" + s.file);
      ASSERT_TRUE(SUCCEEDED(hr)) << s.file << ": 0x" << std::hex << hr;
    }
  }
  CoUninitialize();
  // The targets are gone again: the shortcuts alone hold what the list gets.
  const auto r = RunTool({"shortcuts", folder, "-o", dir.Path("out.plw")}, RealLauncherHost());
  EXPECT_EQ(r.status, kExitFailed);
  EXPECT_EQ(r.err, MadeShortcutsErrors(folder, "\\"));
  EXPECT_EQ(dir.Read("out.plw"), MadeShortcutsList());

  // PLWTOOL_SHORTCUT_COPY=FOLDER keeps the shortcuts made, for the native test's copy.
  if (const char* copy = std::getenv("PLWTOOL_SHORTCUT_COPY")) {
    for (const auto& s : MadeShortcuts()) {
      CopyFileA((folder + "\\" + s.file).c_str(), (std::string(copy) + "\\" + s.file).c_str(),
                FALSE);
    }
  }
}

}  // namespace
}  // namespace plwtool::testing
