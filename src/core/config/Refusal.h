// The refusal a settings check answers: the message box's kind and text and the field that
// takes the focus.
#pragma once

#include <string>
#include <utility>

#include "core/text/Messages.h"

namespace config {

// Fills `f` (a failure with kind, text and focus) and answers false, so that a check
// refuses with `return Refuse(...)`.
template <class Failure, class Field>
bool Refuse(Failure& f, MessageKind kind, std::string textGbk, Field focus) {
  f.kind = kind;
  f.text = std::move(textGbk);
  f.focus = focus;
  return false;
}

}  // namespace config
