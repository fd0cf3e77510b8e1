// Writes a draw's journal record by record, so that the file only ever holds whole records
// and at most one torn tail, which the next append cuts back before it writes. Records
// whose write failed are kept and go with the next append, in their order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TJournalWriter {
 public:
  // A new journal at `path` holding `head` alone, written beside it and renamed into place;
  // an earlier file there goes to the history of `taskId` first. False with the error.
  bool Begin(int32_t taskId, const std::string& path, std::string_view head, std::string& error);
  // Goes on with the journal at hand, whose first `wholeBytes` bytes are whole records.
  void Continue(size_t wholeBytes);
  // The journal's head is on disk (Begin, Continue or an append that wrote it).
  bool Started() const { return m_started; }
  // Bytes of whole records in the journal file.
  size_t WholeBytes() const { return m_wholeBytes; }

  // Appends the records unwritten so far and `records` to the journal at `path`, flushed to
  // disk. A journal not started yet begins with `head`, an earlier file at `path` going to
  // the history of `taskId` first. A file longer or shorter than its whole records (a write
  // that failed half way, a torn record) is cut back to them first. False when the records
  // stay unwritten; the error waits for TakeError.
  bool Append(int32_t taskId, const std::string& path, std::string_view head,
              std::string_view records);
  // Records whose write failed, waiting for the next append.
  const std::string& Unwritten() const { return m_unwritten; }
  // The text of the last failed write, cleared when read.
  std::string TakeError();

 private:
  bool m_started = false;
  size_t m_wholeBytes = 0;
  std::string m_unwritten;
  std::string m_error;
};
