// Chinese sentences in the check-in, host and desk windows wrap only where a reader pauses:
// after punctuation or a blank, never inside a word (手机才能连/上).
#pragma once

#include <QString>

// `text` with a word joiner (U+2060, drawn as nothing) between every two characters where
// no break belongs: a label that wraps it breaks only after punctuation or at a blank, and
// before an opening quote or bracket.
QString WholeWords(const QString& text);
