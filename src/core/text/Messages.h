// The few core routines that report to the operator themselves (the id allocator, the
// database connection at start-up) send their message here. The windows install a sink
// that shows the program's message box; without one the text goes to standard error.
#pragma once

#include <functional>
#include <string>

// Kinds of the program's message box; the values are the picture's index in the box.
enum class MessageKind { Information = 0, Warning = 1, Error = 2, Attention = 3 };

namespace msg {

using Sink = std::function<void(MessageKind kind, const std::string& gbkText)>;

// Installs the sink and returns the previous one.
Sink SetSink(Sink sink);

void Show(MessageKind kind, const std::string& gbkText);

}  // namespace msg
