// SHA-256 digests (nettle) of texts and files, as lower-case hex.
#pragma once

#include <string>
#include <string_view>

std::string Sha256Hex(std::string_view bytes);

// The digest of the file at `gbkPath`, read in blocks; false with the error text.
bool Sha256File(std::string_view gbkPath, std::string& hex, std::string& error);

// The fingerprint the import leaves beside a task's draw data file (DATA_FILE/<TaskId>.sha256):
// the digest of the file as written, so a later change to it can be told.
std::string ListFingerprintPath(int taskId);
// Writes the digest of the file at `gbkDataPath` there; false with the error text.
bool SaveListFingerprint(int taskId, std::string_view gbkDataPath, std::string& error);
