// Placeholder until the IPTC listing lands.
#include "metadata/iptc_reader.hpp"

namespace meta {

const std::vector<TTagEntry>& IptcDataSetTable() {
  static const std::vector<TTagEntry> table;
  return table;
}

std::vector<std::string> TIPTCdata::ListRecords(const ByteString& segment) {
  buffer_ = segment;
  return {};
}

TTagEntry TIPTCdata::ReadDataSet(int32_t& position) {
  (void)position;
  return {};
}

}  // namespace meta
