// The linked resources as Windows itself reads them. Extra command-line arguments name further
// executables (the program) whose version resource and manifest are checked the same way.
// clang-format off
// windows.h first: the other Windows headers build on it.
#include <windows.h>
#include <commctrl.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_files;  // this executable first, then the arguments

std::string SelfPath() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

// Wine hands Unix paths through unchanged; map them onto its root drive.
std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') {
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    path = "Z:" + path;
  }
  return path;
}

struct VersionInfo {
  std::vector<char> data;

  std::optional<std::string> String(const char* name) const {
    struct Translation {
      WORD language;
      WORD codepage;
    };
    Translation* translations = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &size) ||
        size < sizeof(Translation)) {
      return std::nullopt;
    }
    char key[128];
    std::snprintf(key, sizeof key, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
                  translations[0].codepage, name);
    char* value = nullptr;
    if (!VerQueryValueA(data.data(), key, reinterpret_cast<void**>(&value), &size) || size == 0) {
      return std::nullopt;
    }
    return std::string(value);
  }

  const VS_FIXEDFILEINFO* Fixed() const {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &size) ||
        size < sizeof(VS_FIXEDFILEINFO)) {
      return nullptr;
    }
    return fixed;
  }
};

std::optional<VersionInfo> ReadVersion(const std::string& file) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
  if (size == 0) return std::nullopt;
  VersionInfo info;
  info.data.resize(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, info.data.data())) {
    return std::nullopt;
  }
  return info;
}

std::string FixedVersionText(const VS_FIXEDFILEINFO& fixed) {
  return std::to_string(HIWORD(fixed.dwFileVersionMS)) + "." +
         std::to_string(LOWORD(fixed.dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed.dwFileVersionLS)) + "." +
         std::to_string(LOWORD(fixed.dwFileVersionLS));
}

std::string ProductVersionText(const VS_FIXEDFILEINFO& fixed) {
  return std::to_string(HIWORD(fixed.dwProductVersionMS)) + "." +
         std::to_string(LOWORD(fixed.dwProductVersionMS)) + "." +
         std::to_string(HIWORD(fixed.dwProductVersionLS)) + "." +
         std::to_string(LOWORD(fixed.dwProductVersionLS));
}

std::string ManifestOf(const std::string& file) {
  HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return {};
  std::string text;
  if (HRSRC found = FindResourceA(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
      found != nullptr) {
    if (HGLOBAL loaded = LoadResource(module, found); loaded != nullptr) {
      text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    }
  }
  FreeLibrary(module);
  return text;
}

TEST(Resources, VersionResourceCarriesTheProductVersionAndName) {
  ASSERT_FALSE(g_files.empty());
  for (const std::string& file : g_files) {
    SCOPED_TRACE(file);
    const std::optional<VersionInfo> info = ReadVersion(file);
    ASSERT_TRUE(info.has_value()) << "no version resource";
    const VS_FIXEDFILEINFO* fixed = info->Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(FixedVersionText(*fixed), PALLOMAR_EXPECTED_VERSION);
    EXPECT_EQ(ProductVersionText(*fixed), PALLOMAR_EXPECTED_VERSION);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(info->String("FileVersion"), PALLOMAR_EXPECTED_VERSION);
    EXPECT_EQ(info->String("ProductVersion"), PALLOMAR_EXPECTED_VERSION);
    EXPECT_EQ(info->String("ProductName"), "Pallomar");
  }
}

TEST(Resources, ManifestAsksForCommonControls6AndDpiAwareness) {
  for (const std::string& file : g_files) {
    SCOPED_TRACE(file);
    const std::string manifest = ManifestOf(file);
    ASSERT_FALSE(manifest.empty()) << "no application manifest";
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
  }
}

TEST(Resources, ProcessStartsDpiAware) { EXPECT_TRUE(IsProcessDPIAware()); }

// Version 6 lives only side by side (the copy in the system folder is version 5), so the path
// of the loaded module tells which one the manifest brought in.
TEST(Resources, ProcessLoadsCommonControls6) {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_STANDARD_CLASSES};
  ASSERT_TRUE(InitCommonControlsEx(&init));
  HMODULE comctl = GetModuleHandleA("comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  char path[MAX_PATH] = {};
  ASSERT_NE(GetModuleFileNameA(comctl, path, MAX_PATH), 0u);
  std::string lower(path);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  EXPECT_NE(lower.find("\\winsxs\\"), std::string::npos) << path;
  EXPECT_NE(lower.find("microsoft.windows.common-controls_6595b64144ccf1df_6."), std::string::npos)
      << path;
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  g_files.push_back(SelfPath());
  for (int i = 1; i < argc; ++i) g_files.push_back(WindowsPath(argv[i]));
  return RUN_ALL_TESTS();
}
