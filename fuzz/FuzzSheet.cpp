// libFuzzer harness for the spreadsheet readers: the input is taken as an xlsx, an ods and
// a csv in turn (FUZZ_XLS: written to a file and read as xls through libfreexl).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "import/Sheet.h"

namespace {

sheet::Visitor& Visitor() {
  static sheet::Visitor v;
  static size_t cells = 0;
  v.onRow = [](int64_t, const std::vector<std::string>& row) {
    for (const std::string& c : row) cells += c.size();
    return true;
  };
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string error;
  sheet::Visitor& v = Visitor();
#if defined(FUZZ_XLS)
  static const std::string path = "/dev/shm/tombolix-fuzz-" + std::to_string(getpid()) + ".xls";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  sheet::ReadXls(path, v, error);
#elif defined(FUZZ_ODS)
  sheet::ReadOdsBuffer(bytes, v, error);
#elif defined(FUZZ_CSV)
  sheet::ReadCsvText(bytes, v, error);
#else
  sheet::ReadXlsxBuffer(bytes, v, error);
#endif
  return 0;
}
