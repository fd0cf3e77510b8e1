#include "core/spare/AutoRelay.h"

#include <utility>

#include "core/text/FileWrite.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"
#include "core/text/Text.h"

namespace spare {

namespace {

std::string SettingPath(int32_t taskId) {
  return paths::DataRoot() + "DATA/AUTORELAY_" + std::to_string(taskId) + ".txt";
}

}  // namespace

bool LoadAutoRelayFolder(int32_t taskId, std::string& gbkFolder, std::string& error) {
  gbkFolder.clear();
  const std::string path = SettingPath(taskId);
  if (!paths::FileExists(path)) return true;
  if (!files::ReadWholeFile(path, gbkFolder, error)) return false;
  while (!gbkFolder.empty() && (gbkFolder.back() == '\n' || gbkFolder.back() == '\r'))
    gbkFolder.pop_back();
  return true;
}

bool SaveAutoRelayFolder(int32_t taskId, std::string_view gbkFolder, std::string& error) {
  if (gbkFolder.empty()) return files::RemoveFile(SettingPath(taskId), error);
  if (gbkFolder.find_first_of("\r\n") != std::string_view::npos) {
    error = text::G("文件夹名称中不能有换行。");
    return false;
  }
  return files::WriteFileAtomic(SettingPath(taskId), std::string(gbkFolder) + "\r\n", error);
}

std::string AutoRelayPath(std::string_view gbkFolder, int32_t taskId) {
  std::string path(gbkFolder);
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
  return path + std::to_string(taskId) + text::G("_接力包.zip");
}

TAutoRelay::TAutoRelay(TRelaySetup setup, std::string gbkFolder,
                       std::function<void(const std::string&)> failed,
                       std::function<void(const TRelaySummary&)> written)
    : m_setup(std::move(setup)),
      m_path(AutoRelayPath(gbkFolder, m_setup.TaskId)),
      m_failed(std::move(failed)),
      m_written(std::move(written)) {
  m_worker = std::thread([this] { Run(); });
}

TAutoRelay::~TAutoRelay() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  m_worker.join();
}

void TAutoRelay::Revealed(const TRevealedList&) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wanted = true;
  }
  m_wake.notify_all();
}

void TAutoRelay::Run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [this] { return m_wanted || m_stop; });
    if (!m_wanted) return;  // stopped with nothing asked for
    m_wanted = false;
    lock.unlock();
    TRelaySummary summary;
    std::string error;
    const bool ok = WriteRelay(m_setup, m_path, summary, error);
    lock.lock();
    if (ok) {
      m_told = false;
      if (m_written) m_written(summary);
    } else if (!m_told) {
      m_told = true;
      if (m_failed) m_failed(text::G("自动写接力包失败:") + error);
    }
  }
}

}  // namespace spare
