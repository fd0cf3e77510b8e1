// libFuzzer harness for the check-in request handling: any method, path and body (and any
// check-in file to resume from) give an answer of the routes, never a crash; the desk's
// count never exceeds its list, JSON answers are valid UTF-8 with no raw '<', a line found
// by a lookup has a proof that holds, and after an answer the check-in file holds whole
// records only. The list has ids that differ only by
// letter case and an id shared by two names, so folding and telling apart are exercised.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "core/checkin/CheckinDesk.h"
#include "core/checkin/CheckinHttp.h"
#include "core/records/CheckinFile.h"
#include "core/records/ListTree.h"
#include "core/text/Gbk.h"

namespace {

std::string ScratchFile() {
  static const std::string path =
      "/dev/shm/tombolix-fuzz-" + std::to_string(::getpid()) + "/CHECKIN_7.txt";
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  return path;
}

}  // namespace

// Input: the first byte picks the method and route, the bytes up to the first NUL are the
// path (or the body for the form routes), the rest is the body or, with the high bit of
// the first byte, a check-in file to open the desk on.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t nul = rest.find('\0');
  const std::string_view first = rest.substr(0, nul);
  const std::string_view second = nul == std::string_view::npos ? "" : rest.substr(nul + 1);

  checkin::TCheckinTask task;
  task.TaskId = 7;
  task.TaskName = text::G("年会<script>");
  task.TitleLine = text::G("工号 姓名");
  task.Lines = {text::G("1 张三"),  text::G("2 李四"),  "3",
                text::G("E5 王五"), text::G("e5 赵六"), text::G("Q8 甲"),
                text::G("7 甲"),    text::G("7 乙")};
  task.HideBegin = 1;
  task.HideEnd = 1;
  task.FilePath = ScratchFile();
  std::filesystem::remove(task.FilePath);
  if (mode & 0x80) {
    FILE* f = std::fopen(task.FilePath.c_str(), "wb");
    std::fwrite(second.data(), 1, second.size(), f);
    std::fclose(f);
  }
  checkin::TCheckinDesk desk;
  std::string error;
  if (!desk.Open(task, error)) return 0;

  const size_t before = desk.View().CheckedIn;
  checkin::THttpRequest req;
  static const char* kMethods[] = {"GET", "POST", "HEAD", "PUT"};
  req.Method = kMethods[mode & 3];
  switch ((mode >> 2) & 3) {
    case 0:
      req.Path = first;
      break;
    case 1:
      req.Path = "/checkin";
      req.Body = first;
      break;
    case 2:
      req.Path = "/winners";
      req.Body = first;
      break;
    default:
      req.Path = "/list";
      req.Body = first;
      break;
  }
  req.Address = second.substr(0, 16);
  req.HeaderBytes = (mode & 0x40) ? checkin::kMaxHeaderBytes + 1 : first.size();
  const checkin::THttpResponse r = checkin::HandleRequest(desk, req);
  if (r.Status != 200 && r.Status != 400 && r.Status != 404 && r.Status != 413 && r.Status != 431)
    std::abort();
  if (r.Status == 200 && req.Path != "/" && req.Path != "/index.html" && req.Path != "/checkin" &&
      req.Path != "/winners" && req.Path != "/list")
    std::abort();
  if (r.ContentType.rfind("application/json", 0) == 0 &&
      (!text::IsValidUtf8(r.Body) || r.Body.find('<') != std::string::npos))
    std::abort();
  const checkin::TCheckinView v = desk.View();
  if (v.CheckedIn > v.Total) std::abort();
  // A line found has a proof that holds against the list's root, for that line's number.
  std::map<std::string, std::string> form;
  std::string id(first), name;
  if (checkin::ParseForm(first, form)) {
    id = form["id"];
    name = form["name"];
  }
  const checkin::TLookupResult look = desk.Lookup(req.Address, id, name);
  uint64_t count = 0;
  if (look.Answer == checkin::TLookup::OnList &&
      (look.Proof.Number < 1 || look.Proof.Number > task.Lines.size() ||
       look.Proof.Line != task.Lines[look.Proof.Number - 1] ||
       listtree::CheckProof(look.Proof.Line, look.Proof.Number, look.Proof.Proof, look.Proof.Root,
                            count) != listtree::TProofVerdict::Holds ||
       count != task.Lines.size()))
    std::abort();
  // A second attempt with the same form; a new check-in leaves the file whole.
  if (req.Path == "/checkin") checkin::HandleRequest(desk, req);
  checkin::TCheckinFile file;
  if (desk.View().CheckedIn > before &&
      (!checkin::ReadCheckinFile(task.FilePath, file, error) || file.TornTail))
    std::abort();
  return 0;
}
