// Linux and other POSIX hosts: iconv from the C library, a UTF-8 terminal, and no view of the
// Windows paths a list names.
#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "entrylist/file_system.h"
#include "host.h"

namespace plwtool {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// One converter per direction and thread, opened once: texts are converted a character at a
// time for display.
iconv_t Converter(bool toUtf8) {
  thread_local const iconv_t sjisToUtf8 = iconv_open("UTF-8", "CP932");
  thread_local const iconv_t utf8ToSjis = iconv_open("CP932", "UTF-8");
  return toUtf8 ? sjisToUtf8 : utf8ToSjis;
}

// The whole text through one conversion into `out` (a buffer kept for the thread, so that
// the many short fields of a list cost no allocation); false at the first byte it cannot take.
bool Convert(bool toUtf8, std::string_view text, std::string& out) {
  iconv_t cd = Converter(toUtf8);
  if (cd == kNoConverter) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  if (out.size() < text.size() * 3 + 8) out.resize(text.size() * 3 + 8);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* dst = out.data();
  std::size_t dstLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) continue;
    if (errno != E2BIG) return false;  // EILSEQ or EINVAL: no meaning, or cut short
    const std::size_t used = out.size() - dstLeft;
    out.resize(out.size() * 2);
    dst = out.data() + used;
    dstLeft = out.size() - used;
  }
  out.resize(out.size() - dstLeft);
  return true;
}

// `text` converted, and converted back to the same bytes; nullopt when either step fails.
std::optional<std::string> RoundTrip(bool toUtf8, std::string_view text) {
  thread_local std::string there, back;
  std::optional<std::string> result;
  if (Convert(toUtf8, text, there) && Convert(!toUtf8, there, back) && back == text) {
    result = there;
  }
  // A huge text's buffers are not kept after it.
  constexpr std::size_t kKept = 1 << 20;
  if (there.capacity() > kKept) std::string().swap(there);
  if (back.capacity() > kKept) std::string().swap(back);
  return result;
}

}  // namespace

// Code page 932 maps some characters twice (NEC and IBM rows): such bytes must keep their raw
// form, or importing the export would change them.
std::optional<std::string> HostSjisToUtf8(std::string_view sjis) { return RoundTrip(true, sjis); }

// The converter writes some characters as the bytes of another (U+00A5 as 0x5C, which reads
// back as a backslash): only a text that reads back as it was has a Shift-JIS form.
std::optional<std::string> Utf8ToSjis(std::string_view utf8) { return RoundTrip(false, utf8); }

namespace {

int ListFolder(const std::string& folder, std::vector<FolderItem>& items) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return pallomar::HostErrorNumber(errno);
  const std::string base = folder.ends_with('/') ? folder : folder + "/";
  errno = 0;
  while (const dirent* d = readdir(dir)) {
    const std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    FolderItem item{base + name, Utf8ToSjis(name).value_or(name), false};
    struct stat st {};
    // A link to a folder is not followed: it could lead back up.
    item.folder = lstat(item.path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    items.push_back(std::move(item));
    errno = 0;
  }
  const int e = errno;
  closedir(dir);
  return e == 0 ? 0 : pallomar::HostErrorNumber(e);
}

}  // namespace

Host CurrentHost() {
  Host h;
  h.toTerminal = [](std::string_view s) { return std::string(s); };
  h.nameToUtf8 = [](std::string_view s) { return std::string(s); };
  h.seesListPaths = false;
  h.inputFailed = [] { return std::ferror(stdin) != 0; };
  h.listFolder = ListFolder;
  return h;
}

}  // namespace plwtool
