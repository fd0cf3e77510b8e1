// libFuzzer harness for the prize claims' request handling: any method, path and body (and any
// claim file to resume from) give an answer of the routes or are left to the check-in ones,
// never a crash. A desk request counts only when the paired desk signed it with a new
// counter; a claim is recorded at most once per prize and only for a winner; JSON answers are valid
// UTF-8 with no raw '<'; and after an answer the claim file holds whole records only.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "core/checkin/CheckinDesk.h"
#include "core/claims/ClaimDesk.h"
#include "core/claims/ClaimHttp.h"
#include "core/net/Pairing.h"
#include "core/records/ClaimFile.h"
#include "core/records/FileHash.h"
#include "core/text/Gbk.h"
#include "core/text/Paths.h"

namespace {

std::string ScratchRoot() {
  static const std::string root = "/dev/shm/tombolix-claimfuzz-" + std::to_string(::getpid()) + "/";
  std::filesystem::create_directories(root + "LUCK_FILE");
  return root;
}

}  // namespace

// Input: the first byte picks the method and route, whether a desk is paired (0x40) and
// whether it signs the form (0x20); the bytes up to the first NUL are the path (or the
// form's own fields for the form routes); the rest is, with the high bit of the first byte,
// a claim file to open the desk on.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t nul = rest.find('\0');
  const std::string_view first = rest.substr(0, nul);
  const std::string_view second = nul == std::string_view::npos ? "" : rest.substr(nul + 1);

  paths::SetDataRoot(ScratchRoot());
  const std::string key = Sha256Hex("fuzz draw\n");
  const std::string file = claims::ClaimFilePath(7, key);
  std::filesystem::remove(file);
  if (mode & 0x80) {
    FILE* f = std::fopen(file.c_str(), "wb");
    std::fwrite(second.data(), 1, second.size(), f);
    std::fclose(f);
  }
  checkin::TCheckinTask task;
  task.TaskId = 7;
  task.TaskName = text::G("年会<script>");
  task.TitleLine = text::G("工号 姓名");
  task.Lines = {text::G("1 张三"), text::G("2 李四"), "3"};
  task.FilePath = ScratchRoot() + "CHECKIN_7.txt";
  std::filesystem::remove(task.FilePath);
  checkin::TCheckinDesk checkins;
  std::string error;
  if (!checkins.Open(task, error)) std::abort();
  const std::string phone =
      checkins.CheckIn("10.0.0.1", "1", text::GbkToUtf8(text::G("张三"))).Token;

  auto desk = std::make_shared<claims::TClaimDesk>();
  claims::TClaimDraw draw;
  draw.TaskId = 7;
  draw.DrawKey = key;
  draw.Winners = {{"1", 11, text::G("一等奖"), text::G("张三")}, {"3", 12, text::G("二等奖"), ""}};
  draw.Absent = {{"2", 11, text::G("一等奖"), text::G("李四")}};
  if (!desk->Use(draw, error)) return 0;  // a damaged file is refused, not opened
  net::TPairing pairing;
  claims::TClaimRoutes routes(checkins, pairing, desk);
  routes.SetBaseUrl("http://127.0.0.1:8080/");
  const net::TPairKey deskKey = net::PairKeyOf(pairing.Code(net::TPairRole::Desk));
  std::string token;
  if (mode & 0x40) {
    const std::string pair =
        net::SignedBody(deskKey, net::TPairRole::Desk, "POST", "/desk/pair", "", 1, "");
    net::THttpRequest p;
    p.Method = "POST";
    p.Path = "/desk/pair";
    p.Body = pair;
    p.Address = "10.0.0.2";
    token = pairing.Pair(p, net::TPairRole::Desk).Token;
  }
  const bool sign = (mode & 0x20) && !token.empty();
  const size_t before = desk->ClaimedCount();

  net::THttpRequest req;
  static const char* kMethods[] = {"GET", "POST", "HEAD", "POST"};
  req.Method = kMethods[mode & 3];
  // The desk's form: signed by the paired desk, or its token before the fields as they come.
  const auto form = [&](const char* path) {
    return sign ? net::SignedBody(deskKey, net::TPairRole::Desk, req.Method, path, token, 2, first)
                : "t=" + token + "&" + std::string(first);
  };
  std::string body;
  switch ((mode >> 2) & 7) {
    case 0:
      req.Path = first;
      break;
    case 1:
      req.Path = "/desk/pair";
      body = first;
      break;
    case 2:
    case 3:
      req.Path = "/desk/find";
      body = form("/desk/find");
      break;
    case 4:
    case 5:
      req.Path = "/desk/claim";
      body = form("/desk/claim");
      break;
    default:
      req.Path = "/prize";
      body = "t=" + phone + "&" + std::string(first);
      break;
  }
  req.Body = body;
  req.Address = "10.0.0.3";
  req.HeaderBytes = first.size();
  net::THttpResponse r;
  const bool handled = routes.Handle(req, r);
  if (!handled) return 0;
  if (r.Status != 200 && r.Status != 400 && r.Status != 403 && r.Status != 409 && r.Status != 429 &&
      r.Status != 503)
    std::abort();
  if (r.ContentType.rfind("application/json", 0) == 0 &&
      (!text::IsValidUtf8(r.Body) || r.Body.find('<') != std::string::npos))
    std::abort();
  // Only a paired desk claims, one prize a request, and only a winner's; whatever the file
  // held before stays as it was.
  const size_t after = desk->ClaimedCount();
  if (after > before && (!sign || req.Path != "/desk/claim")) std::abort();
  if (after > before + 1) std::abort();
  claims::TClaimFile claimed;
  if (after > before) {
    if (!claims::ReadClaimFile(file, claimed, error) || claimed.TornTail ||
        claimed.Records.size() != after)
      std::abort();
    const claims::TClaimRecord& c = claimed.Records.back();
    if (!(c.Id == "1" && c.ItemId == 11) && !(c.Id == "3" && c.ItemId == 12)) std::abort();
  }
  return 0;
}
