// libFuzzer harness for the event package reader: any bytes, never a crash, and whatever it
// accepts names only files inside the package's own folders.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/package/EventPackage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  package::TEventPackage pkg;
  std::string error;
  if (!package::ReadEventPackage(bytes, pkg, error)) {
    if (error.empty() || !pkg.Files.empty() || !pkg.Task.empty()) std::abort();
    return 0;
  }
  if (pkg.PrizeEntries.size() != pkg.Items.size()) std::abort();
  for (const package::TPackedFile& f : pkg.Files) {
    const std::string& n = f.Entry;
    const bool inside = n == "list.txt" || n.rfind("presets/", 0) == 0 ||
                        n.rfind("photos/", 0) == 0 || n.rfind("media/", 0) == 0;
    if (!inside || n.find("..") != std::string::npos || n.find('\\') != std::string::npos ||
        n.find('/', n.find('/') + 1) != std::string::npos)
      std::abort();
  }
  return 0;
}
