// The few core routines that report to the operator themselves (the id allocator, the
// database connection at start-up) send their message here. The windows install a sink
// that shows the program's message box; without one the text goes to standard error.
#pragma once

#include <functional>
#include <string>

namespace msg {

// Kinds of the program's message box.
enum MessageKind : int {
  kInformation = 0,
  kWarning = 1,
  kError = 2,
  kAttention = 3,
};

using Sink = std::function<void(int kind, const std::string& gbkText)>;

// Installs the sink and returns the previous one.
Sink SetSink(Sink sink);

void Show(int kind, const std::string& gbkText);

}  // namespace msg
