// libFuzzer harness for the relay package reader: any bytes, never a crash; whatever it
// accepts holds only the relay's own entries, each matching the manifest's hash, with the
// setup and the journal among them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/records/FileHash.h"
#include "core/spare/Relay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  spare::TRelay relay;
  std::string error;
  if (!spare::ParseRelayPackage(bytes, relay, error)) {
    if (error.empty() || !relay.Entries.empty()) std::abort();
    return 0;
  }
  if (!relay.Entry(spare::kSetupEntry) || !relay.Entry(spare::kJournalEntry)) std::abort();
  if (relay.Entries.size() != relay.Manifest.Hashes.size()) std::abort();
  for (const auto& [entry, hex] : relay.Manifest.Hashes) {
    const std::string* e = relay.Entry(entry);
    if (!e || Sha256Hex(*e) != hex) std::abort();
  }
  // The manifest written again reads back the same.
  spare::TRelayManifest again;
  if (!spare::ParseRelayManifest(spare::FormatRelayManifest(relay.Manifest), again, error) ||
      spare::FormatRelayManifest(again) != spare::FormatRelayManifest(relay.Manifest))
    std::abort();
  return 0;
}
