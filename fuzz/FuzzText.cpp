// libFuzzer harness for the text import, end to end: decoding, normalising, the id checks
// and the draw data file, in a data root under /dev/shm.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/import/Import.h"
#include "core/text/FileWrite.h"
#include "core/text/Paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = [] {
    const std::string r = "/dev/shm/tombolix-fuzz-text-" + std::to_string(getpid()) + "/";
    paths::SetDataRoot(r);
    std::string e;
    files::MakeFolders(r, e);
    return r;
  }();
  const std::string source = root + "source.txt";
  FILE* f = std::fopen(source.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  dataimport::Callbacks cb;
  std::string target, error;
  const auto kind = size > 0 && (data[0] & 1) ? TIdType::NonNumeric : TIdType::Numeric;
  dataimport::ImportTextFile(source, 1001, kind, cb, target, error);
  return 0;
}
