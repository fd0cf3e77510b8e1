// SHA-256 digests (nettle) of texts and files, as lower-case hex.
#pragma once

#include <string>
#include <string_view>

std::string Sha256Hex(std::string_view bytes);

// The digest of the file at `gbkPath`, read in blocks; false with the error text.
bool Sha256File(std::string_view gbkPath, std::string& hex, std::string& error);
