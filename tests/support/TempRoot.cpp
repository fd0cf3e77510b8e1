#include "TempRoot.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "core/text/Paths.h"

TempRoot::TempRoot() {
#ifdef _WIN32
  // No mkdtemp: a random name, taken only when create_directory made it.
  std::random_device random;
  for (int attempt = 0; m_dir.empty(); ++attempt) {
    if (attempt == 100) std::abort();
    const auto dir = std::filesystem::temp_directory_path() /
                     ("tombolix-test-" + std::to_string(random()) + std::to_string(random()));
    std::error_code ec;
    if (std::filesystem::create_directory(dir, ec)) m_dir = dir;
  }
#else
  std::string tmpl = (std::filesystem::temp_directory_path() / "tombolix-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) std::abort();
  m_dir = tmpl;
#endif
  paths::SetDataRoot(m_dir.string());
}

TempRoot::~TempRoot() {
  std::error_code ec;
  // Read-only directories made by a test must not keep their contents alive.
  for (auto it = std::filesystem::recursive_directory_iterator(m_dir, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(m_dir, ec);
}

// Joined as the program joins its data root and a name, with "/" on every system.
std::string TempRoot::path(const std::string& relative) const {
  return m_dir.string() + "/" + relative;
}

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteAll(const std::filesystem::path& p, const std::string& bytes) {
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}
