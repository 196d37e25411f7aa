#include "memory_file_system.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace pallomar::testing {

const char* CallName(FsCall call) {
  static const char* const names[] = {"OpenRead",  "Size",           "Read",      "ProbeTarget",
                                      "CreateNew", "OpenForRewrite", "Reserve",   "Seek",
                                      "Write",     "Flush",          "SetLength", "Close",
                                      "Replace",   "Remove",         "MoveNew"};
  return names[static_cast<int>(call)];
}

MemoryFileSystem::MemoryFileSystem(std::string currentFolder) : current_(std::move(currentFolder)) {
  folders_.insert("/");
  // Every folder above the current one exists.
  for (std::size_t at = current_.find('/', 1); at != std::string::npos;
       at = current_.find('/', at + 1)) {
    folders_.insert(current_.substr(0, at));
  }
  folders_.insert(current_);
}

std::string MemoryFileSystem::Full(const std::string& path) const {
  if (!path.empty() && path[0] == '/') return path;
  return current_ + "/" + path;
}

std::string MemoryFileSystem::FolderOf(const std::string& full) const {
  const auto slash = full.rfind('/');
  return slash == 0 ? "/" : full.substr(0, slash);
}

bool MemoryFileSystem::FolderExists(const std::string& full) const {
  return folders_.count(FolderOf(full)) != 0;
}

std::uint32_t MemoryFileSystem::LinkCount(const std::shared_ptr<Node>& node) const {
  std::uint32_t n = 0;
  for (const auto& [name, file] : files_) n += file == node ? 1 : 0;
  return n;
}

void MemoryFileSystem::Put(const std::string& path, const std::string& bytes) {
  auto& node = files_[Full(path)];
  if (!node) node = std::make_shared<Node>();
  node->bytes = bytes;
}

void MemoryFileSystem::AddFolder(const std::string& path) { folders_.insert(Full(path)); }

void MemoryFileSystem::Link(const std::string& existing, const std::string& name) {
  files_[Full(name)] = files_.at(Full(existing));
}

void MemoryFileSystem::SetMode(const std::string& path, std::uint32_t mode) {
  files_.at(Full(path))->mode = mode;
}

void MemoryFileSystem::DenyCreateIn(const std::string& folder) { denyCreate_.insert(Full(folder)); }

std::optional<std::string> MemoryFileSystem::Get(const std::string& path) const {
  const auto it = files_.find(Full(path));
  if (it == files_.end()) return std::nullopt;
  return it->second->bytes;
}

std::vector<std::string> MemoryFileSystem::Files() const {
  std::vector<std::string> names;
  for (const auto& [name, node] : files_) names.push_back(name);
  return names;
}

std::size_t MemoryFileSystem::BytesUsed() const {
  std::set<const Node*> seen;
  std::size_t used = 0;
  for (const auto& [name, node] : files_) {
    if (seen.insert(node.get()).second) used += node->bytes.size();
  }
  // A file whose last name is gone still takes room while it is open.
  for (const auto& [h, open] : handles_) {
    if (seen.insert(open.node.get()).second) used += open.node->bytes.size();
  }
  return used;
}

void MemoryFileSystem::FailAt(FsCall call, int nth, int code) {
  faults_.push_back({call, Calls(call) + nth, {}, code});
}

void MemoryFileSystem::FailOn(FsCall call, const std::string& path, int code) {
  faults_.push_back({call, 0, Full(path), code});
}

int MemoryFileSystem::Injected(FsCall call, const std::string& path) {
  const int n = ++calls_[static_cast<int>(call)];
  for (const Fault& f : faults_) {
    if (f.call != call) continue;
    if (f.at == n || (f.at == 0 && !path.empty() && f.path == path)) return f.code;
  }
  return 0;
}

MemoryFileSystem::Open* MemoryFileSystem::Find(FileHandle h) {
  const auto it = handles_.find(h);
  // A handle the file system never gave out is a fault of the caller, not of the disk.
  if (it == handles_.end()) throw std::logic_error("unknown file handle");
  return &it->second;
}

FileHandle MemoryFileSystem::Add(std::shared_ptr<Node> node, bool write) {
  const FileHandle h = nextHandle_++;
  handles_[h] = Open{std::move(node), 0, write};
  return h;
}

bool MemoryFileSystem::Grow(Node& node, std::size_t length) {
  if (length <= node.bytes.size()) return true;
  const std::size_t more = length - node.bytes.size();
  const std::size_t used = BytesUsed();
  if (used > capacity || more > capacity - used) return false;
  node.bytes.resize(length, '\0');
  return true;
}

int MemoryFileSystem::OpenRead(const std::string& path, FileHandle& h) {
  const std::string full = Full(path);
  if (const int e = Injected(FsCall::OpenRead, full)) return e;
  const auto it = files_.find(full);
  if (it == files_.end()) {
    if (folders_.count(full) != 0) return kAccessDenied;
    return FolderExists(full) ? kFileNotFound : kPathNotFound;
  }
  h = Add(it->second, false);
  return 0;
}

int MemoryFileSystem::Size(FileHandle h, std::uint64_t& size) {
  Open* open = Find(h);
  if (const int e = Injected(FsCall::Size)) return e;
  size = open->node->bytes.size();
  return 0;
}

int MemoryFileSystem::Read(FileHandle h, char* buf, std::size_t n, std::size_t& got) {
  Open* open = Find(h);
  if (const int e = Injected(FsCall::Read)) return e;
  const std::string& bytes = open->node->bytes;
  const std::size_t left = open->position < bytes.size() ? bytes.size() - open->position : 0;
  got = std::min({n, left, readPiece});
  if (got != 0) std::memcpy(buf, bytes.data() + open->position, got);
  open->position += got;
  return 0;
}

int MemoryFileSystem::ProbeTarget(const std::string& path, TargetState& state) {
  state = {};
  const std::string full = Full(path);
  if (const int e = Injected(FsCall::ProbeTarget, full)) return e;
  if (folders_.count(full) != 0) {
    state.exists = true;
    return kAccessDenied;
  }
  const auto it = files_.find(full);
  if (it == files_.end()) return 0;
  const Node& node = *it->second;
  state.exists = true;
  state.mode = node.mode;
  state.owner = node.owner;
  state.group = node.group;
  state.links = LinkCount(it->second);
  return (node.mode & 0222) == 0 ? kAccessDenied : 0;
}

std::string MemoryFileSystem::Beside(const std::string& path, std::string_view name) {
  const auto slash = path.rfind('/');
  std::string out = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  out += name;
  return out;
}

int MemoryFileSystem::CreateNew(const std::string& path, const TargetState& like, FileHandle& h) {
  const std::string full = Full(path);
  if (const int e = Injected(FsCall::CreateNew, full)) return e;
  if (files_.count(full) != 0 || folders_.count(full) != 0) return kAlreadyExists;
  if (!FolderExists(full)) return kPathNotFound;
  if (full.size() - full.rfind('/') - 1 > nameLimit) return kPathNotFound;
  if (denyCreate_.count(FolderOf(full)) != 0) return kAccessDenied;
  auto node = std::make_shared<Node>();
  if (like.exists) {
    node->mode = like.mode;
    node->owner = like.owner;
    node->group = like.group;
  }
  files_[full] = node;
  h = Add(std::move(node), true);
  return 0;
}

int MemoryFileSystem::OpenForRewrite(const std::string& path, FileHandle& h) {
  const std::string full = Full(path);
  if (const int e = Injected(FsCall::OpenForRewrite, full)) return e;
  const auto it = files_.find(full);
  if (it == files_.end()) return FolderExists(full) ? kFileNotFound : kPathNotFound;
  if ((it->second->mode & 0222) == 0) return kAccessDenied;
  h = Add(it->second, true);
  return 0;
}

int MemoryFileSystem::Reserve(FileHandle h, std::uint64_t length) {
  Open* open = Find(h);
  if (const int e = Injected(FsCall::Reserve)) return e;
  if (!open->write) return kAccessDenied;
  return Grow(*open->node, static_cast<std::size_t>(length)) ? 0 : kDiskFull;
}

int MemoryFileSystem::Seek(FileHandle h, std::uint64_t offset) {
  Open* open = Find(h);
  if (const int e = Injected(FsCall::Seek)) return e;
  open->position = static_cast<std::size_t>(offset);
  return 0;
}

int MemoryFileSystem::Write(FileHandle h, const char* data, std::size_t n) {
  Open* open = Find(h);
  if (!open->write) return kAccessDenied;
  std::string& bytes = open->node->bytes;
  const int injected = Injected(FsCall::Write);
  std::size_t take = injected != 0 ? n / 2 : n;
  // What fits on the disk: bytes already there are overwritten for free.
  const std::size_t used = BytesUsed();
  const std::size_t room = used < capacity ? capacity - used : 0;
  const std::size_t inside =
      open->position < bytes.size() ? bytes.size() - open->position : std::size_t{0};
  const bool full = take > inside && take - inside > room;
  if (full) take = inside + room;
  if (open->position + take > bytes.size()) bytes.resize(open->position + take, '\0');
  if (take != 0) std::memcpy(bytes.data() + open->position, data, take);
  open->position += take;
  if (injected != 0) return injected;
  return full ? kDiskFull : 0;
}

int MemoryFileSystem::Flush(FileHandle h) {
  Find(h);
  return Injected(FsCall::Flush);
}

int MemoryFileSystem::SetLength(FileHandle h, std::uint64_t length) {
  Open* open = Find(h);
  if (const int e = Injected(FsCall::SetLength)) return e;
  if (!open->write) return kAccessDenied;
  const auto n = static_cast<std::size_t>(length);
  if (n < open->node->bytes.size()) {
    open->node->bytes.resize(n);
    return 0;
  }
  return Grow(*open->node, n) ? 0 : kDiskFull;
}

int MemoryFileSystem::Close(FileHandle h) {
  Find(h);
  handles_.erase(h);
  return Injected(FsCall::Close);
}

int MemoryFileSystem::Replace(const std::string& from, const std::string& to, const TargetState&) {
  const std::string src = Full(from);
  const std::string dst = Full(to);
  if (const int e = Injected(FsCall::Replace, dst)) return e;
  const auto it = files_.find(src);
  if (it == files_.end()) return kFileNotFound;
  if (folders_.count(dst) != 0) return kAccessDenied;
  if (!FolderExists(dst)) return kPathNotFound;
  files_[dst] = it->second;
  files_.erase(src);
  return 0;
}

int MemoryFileSystem::MoveNew(const std::string& from, const std::string& to) {
  const std::string src = Full(from);
  const std::string dst = Full(to);
  if (const int e = Injected(FsCall::MoveNew, dst)) return e;
  const auto it = files_.find(src);
  if (it == files_.end()) return kFileNotFound;
  if (files_.count(dst) != 0 || folders_.count(dst) != 0) return kAlreadyExists;
  if (!FolderExists(dst)) return kPathNotFound;
  if (dst.size() - dst.rfind('/') - 1 > nameLimit) return kPathNotFound;
  files_[dst] = it->second;
  files_.erase(src);
  return 0;
}

int MemoryFileSystem::Remove(const std::string& path) {
  const std::string full = Full(path);
  if (const int e = Injected(FsCall::Remove, full)) return e;
  return files_.erase(full) != 0 ? 0 : kFileNotFound;
}

bool MemoryFileSystem::IsFile(const std::string& path) { return files_.count(Full(path)) != 0; }

bool MemoryFileSystem::IsFolder(const std::string& path) { return folders_.count(Full(path)) != 0; }

}  // namespace pallomar::testing
