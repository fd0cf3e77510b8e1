// A fresh data root in a temporary directory for one test; removed afterwards.
#pragma once

#include <filesystem>
#include <string>

class TempRoot {
 public:
  TempRoot();
  ~TempRoot();
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::filesystem::path& dir() const { return m_dir; }
  // GBK path below the root (ASCII names, so the same bytes in UTF-8).
  std::string path(const std::string& relative) const;

 private:
  std::filesystem::path m_dir;
};

// Whole file as bytes; empty when missing.
std::string ReadAll(const std::filesystem::path& p);
void WriteAll(const std::filesystem::path& p, const std::string& bytes);
