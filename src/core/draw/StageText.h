// Texts as the stage shows them: the system's messages and captions with full-width Chinese
// punctuation, and a candidate line split into what a winner's card shows.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The GBK text with ',', ':', '(', ')', '!', '?' and ';' in their full-width forms, and the
// blanks after a converted comma, colon, '!', '?' or ';' dropped. A comma or colon between
// two digits (1,000 or 10:30) stays as it is; every other byte is unchanged.
std::string StagePunctuation(std::string_view gbk);

// The length in bytes of the GBK character at byte `i` of `s`: 1 for ASCII, 2 for a
// double-byte character, 4 for GB18030's four-byte form; a lead byte cut off at the end is 1.
size_t GbkCharLength(std::string_view s, size_t i);

// A winner's card: the id, the field after it (the name, in the usual lists) and the rest.
struct TWinnerCard {
  std::string id;
  std::string name;
  std::string rest;  // the further fields joined by single blanks
};

// Splits a candidate line (GBK, fields separated by blanks) into its card texts.
TWinnerCard WinnerCard(std::string_view candidateLine);
