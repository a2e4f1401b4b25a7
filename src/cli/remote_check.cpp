#include "cli/remote_check.h"

#include "cli/cli_text.h"

std::vector<std::string> RemoteChangeDoubts(const std::optional<AddressBlocks>& read,
                                            const NetConfigRecord& written,
                                            const std::vector<std::uint8_t>& unanswered) {
  // An acknowledgement says only that something arrived; the blocks read back say what the
  // printer now holds. The name cannot be read back this way.
  std::vector<std::string> doubts;
  if (!unanswered.empty()) {
    std::vector<std::string> blocks;
    for (const std::uint8_t block : unanswered) {
      blocks.push_back(std::to_string(block));
    }
    doubts.push_back(unanswered.size() == 1 ? "no reply to the write of block " + blocks[0]
                                            : "no reply to the writes of blocks " + Listed(blocks));
  }
  std::vector<std::string> unread;
  if (!read || !read->addressesRead) {
    unread.push_back("4");
  }
  if (!read || !read->modeRead) {
    unread.push_back("5");
  }
  if (!unread.empty()) {
    doubts.push_back(unread.size() == 1 ? "no reply when block " + unread[0] + " was read back"
                                        : "no reply when blocks 4 and 5 were read back");
  }
  if (!read || (!read->addressesRead && !read->modeRead)) {
    return doubts;
  }
  const NetConfigRecord& reported = read->config;
  // Under DHCP the addresses are the server's to choose; only the mode can be compared.
  const bool modeDiffers = read->modeRead && reported.dhcp != written.dhcp;
  const bool addressesDiffer = written.dhcp == 0 && read->addressesRead &&
                               (reported.ip != written.ip || reported.mask != written.mask ||
                                reported.gateway != written.gateway);
  if (modeDiffers || addressesDiffer) {
    std::string now;
    if (read->modeRead && read->addressesRead) {
      now = AddressText(reported);
    } else if (read->modeRead) {
      now = reported.dhcp != 0 ? "DHCP" : "a static address";
    } else {
      now = "IP " + ShownText(reported.ip.View()) + ", mask " + ShownText(reported.mask.View()) +
            ", gateway " + ShownText(reported.gateway.View());
    }
    doubts.push_back("it reports " + now + " instead of " + AddressText(written));
  }
  return doubts;
}
