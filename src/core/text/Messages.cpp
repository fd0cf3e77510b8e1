#include "core/text/Messages.h"

#include <cstdio>
#include <utility>

#include "core/text/Gbk.h"

namespace msg {

namespace {
Sink& Current() {
  static Sink sink;
  return sink;
}
}  // namespace

Sink SetSink(Sink sink) { return std::exchange(Current(), std::move(sink)); }

void Show(MessageKind kind, const std::string& gbkText) {
  if (Current()) {
    Current()(kind, gbkText);
    return;
  }
  std::fprintf(stderr, "[%d] %s\n", static_cast<int>(kind), text::GbkToUtf8(gbkText).c_str());
}

}  // namespace msg
