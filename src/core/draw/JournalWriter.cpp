#include "core/draw/JournalWriter.h"

#include "core/draw/DrawJournal.h"
#include "core/records/ResultsHistory.h"
#include "core/text/FileWrite.h"
#include "core/text/Paths.h"

bool TJournalWriter::Begin(int32_t taskId, const std::string& path, std::string_view head,
                           std::string& error) {
  if (paths::FileExists(path)) {
    std::string folder;
    if (!MoveToHistory(taskId, {path}, folder, error)) return false;
  }
  if (!files::WriteFileAtomic(path, head, error)) return false;
  m_started = true;
  m_wholeBytes = head.size();
  return true;
}

void TJournalWriter::Continue(size_t wholeBytes) {
  m_started = true;
  m_wholeBytes = wholeBytes;
}

bool TJournalWriter::Append(int32_t taskId, const std::string& path, std::string_view head,
                            std::string_view records) {
  std::string pending = m_unwritten;
  pending += records;
  std::string lines;
  if (!m_started) {
    // A journal of an earlier draw that was never continued goes to the history first.
    if (paths::FileExists(path)) {
      std::string folder;
      if (!MoveToHistory(taskId, {path}, folder, m_error)) {
        m_unwritten = std::move(pending);
        return false;
      }
    }
    lines = std::string(head) + pending;
  } else {
    lines = pending;
    // A write that failed half way, or a torn record, is cut back first: the next record
    // never lands on a torn line.
    if (JournalSize(path) != static_cast<int64_t>(m_wholeBytes) &&
        !CutJournalTail(path, m_wholeBytes, m_error)) {
      m_unwritten = std::move(pending);
      return false;
    }
  }
  std::string error;
  if (!AppendJournal(path, lines, error)) {
    m_unwritten = std::move(pending);
    m_error = error;
    return false;
  }
  if (!m_started) m_wholeBytes = 0;
  m_started = true;
  m_wholeBytes += lines.size();
  m_unwritten.clear();
  return true;
}

std::string TJournalWriter::TakeError() {
  std::string e;
  e.swap(m_error);
  return e;
}
