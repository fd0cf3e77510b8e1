// libFuzzer harness for the spare stream's readers of outside bytes: any bytes as a sealed
// message, as the plain request and answer inside one, as the stage's greeting and as a typed
// code give an answer, never a crash. Invariants: a request or answer read back encodes to
// the same bytes (no length is taken on trust, nothing is left over); a message not sealed
// with the key never opens; and an answer sealed with the key and applied by a follower
// leaves its spare folder's entries no longer than the stage said its files are.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/spare/Follower.h"
#include "core/spare/SpareStream.h"

namespace {

constexpr std::string_view kCode = "ABCDEFGHJKMNPQRS";
constexpr std::string_view kSalt = "0123456789abcdef";

const spare::TStreamKey& Key() {
  static const spare::TStreamKey key = spare::DeriveKey(kCode, kSalt);
  return key;
}

// A follower begun on the fixed code, in a scratch folder of its own.
spare::TFollower& Follower() {
  static spare::TFollower* follower = [] {
    const std::string root = "/dev/shm/tombolix-fuzz-spare-" + std::to_string(::getpid()) + "/";
    std::filesystem::create_directories(root);
    auto* f = new spare::TFollower(root);
    std::string error;
    if (!f->Begin(spare::FormatHello(7, kSalt), kCode, 0, error)) std::abort();
    return f;
  }();
  return *follower;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

// Input: the first byte picks the reader, the rest is its bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view in(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string error, plain;
  switch (data[0] % 5) {
    case 0: {
      spare::TRequest q;
      if (spare::DecodeRequest(in, q, error)) Check(spare::EncodeRequest(q) == in);
      break;
    }
    case 1: {
      spare::TAnswer a;
      if (spare::DecodeAnswer(in, a, error)) Check(spare::EncodeAnswer(a) == in);
      break;
    }
    case 2: {
      uint64_t n = 0;
      // Bytes from outside do not authenticate under the key.
      for (auto d : {spare::TDirection::ToStage, spare::TDirection::ToSpare})
        Check(spare::OpenMessage(Key(), d, 0, in, n, plain) != spare::TOpenResult::Opened);
      break;
    }
    case 3: {
      int32_t task = 0;
      std::string salt, code;
      if (spare::ReadHello(in, task, salt, error)) Check(salt.size() == spare::kSaltBytes);
      if (spare::ReadTypedCode(in, code, error)) Check(code.size() == spare::kCodeChars);
      break;
    }
    case 4: {
      // The stage's answer as it would arrive sealed: the follower applies it or refuses it.
      spare::TFollower& f = Follower();
      std::string ask, sealed;
      Check(f.NextRequest(ask, error));
      uint64_t number = 0;
      Check(spare::OpenMessage(Key(), spare::TDirection::ToStage, 0, ask, number, plain) ==
            spare::TOpenResult::Opened);
      Check(spare::SealMessage(Key(), spare::TDirection::ToSpare, number, in, sealed, error));
      spare::TAnswer a;
      const bool read = spare::DecodeAnswer(in, a, error);
      if (f.Apply(sealed, 1000, error)) {
        Check(read);
        for (size_t i = 0; i < spare::kEntries; ++i) {
          const auto p = std::filesystem::path(f.Folder()) / std::string(spare::kEntryNames[i]);
          std::error_code ec;
          const auto bytes = std::filesystem::exists(p) ? std::filesystem::file_size(p, ec) : 0;
          Check(bytes <= a.Pieces[i].Total);
        }
      }
      break;
    }
  }
  return 0;
}
