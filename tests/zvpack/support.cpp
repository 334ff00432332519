#include "tests/zvpack/support.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "package/writer.h"
#include "tools/zvpack/cli.h"

namespace zv::pack::test {

std::filesystem::path FsPath(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
#else
  return std::filesystem::path(utf8);
#endif
}

namespace {

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::atomic<int> gScratchCount = 0;

}  // namespace

ScratchFolder::ScratchFolder() {
  std::random_device seed;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0;; ++attempt) {
    const std::filesystem::path candidate =
        base / ("zvpack-test-" + std::to_string(seed()) + "-" + std::to_string(gScratchCount++));
    if (std::filesystem::create_directory(candidate)) {
      path_ = Utf8Of(candidate.lexically_normal());
      while (!path_.empty() && path_.back() == '/') path_.pop_back();
      return;
    }
    if (attempt > 100) throw std::runtime_error("no scratch folder");
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(FsPath(path_), ignored);
}

std::string ScratchFolder::operator/(const std::string& relative) const {
  return path_ + "/" + relative;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream file(FsPath(path), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream file(FsPath(path), std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void MakeFolders(const std::string& path) { std::filesystem::create_directories(FsPath(path)); }

std::map<std::string, Bytes> Snapshot(const std::string& folder) {
  std::map<std::string, Bytes> result;
  const std::filesystem::path root = FsPath(folder);
  for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
    const std::string relative = Utf8Of(item.path().lexically_relative(root));
    result[relative] = item.is_directory() ? Bytes("DIR") : ReadBytes(Utf8Of(item.path()));
  }
  return result;
}

Bytes FakeStub() {
  Bytes stub = "MZ fake installer stub for tests\n";
  for (int i = 0; i < 200; ++i) stub += static_cast<char>(i * 7);
  return stub;
}

Bytes FolderEntry(const std::string& path) { return "DIR" + path; }

Bytes FileEntry(std::uint64_t fileTime, const std::string& path) {
  Bytes entry;
  for (int i = 0; i < 8; ++i) entry += static_cast<char>((fileTime >> (8 * i)) & 0xFF);
  return entry + path;
}

Bytes JoinEntries(const std::vector<Bytes>& entries) {
  Bytes list;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) list += "\r\n";
    list += entries[i];
  }
  return list;
}

Bytes HandMadeInstaller(const Bytes& info, const Bytes& list, const std::vector<Bytes>& blocks) {
  return HandMadeInstallerFromBlocks(EncodeBlock(info), EncodeBlock(list), blocks);
}

Bytes HandMadeInstallerFromBlocks(const Bytes& infoBlock, const Bytes& listBlock,
                                  const std::vector<Bytes>& blocks) {
  Bytes installer = FakeStub() + AssembleMarker() + Bytes(kMagic);
  const auto record = [&installer](const Bytes& block) {
    for (int i = 0; i < 4; ++i) installer += static_cast<char>((block.size() >> (8 * i)) & 0xFF);
    installer += block;
  };
  record(infoBlock);
  record(listBlock);
  for (const Bytes& block : blocks) record(block);
  return installer + "\r\n";
}

int RunInProcess(const std::vector<std::string>& args) {
  std::vector<std::string> full{"zvpack"};
  full.insert(full.end(), args.begin(), args.end());
  return RunZvpack(full);
}

}  // namespace zv::pack::test
