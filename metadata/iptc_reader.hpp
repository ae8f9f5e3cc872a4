#pragma once
// TIPTCdata: lists the IPTC datasets (records 2 and 8) carried in a JPEG's
// "Photoshop 3.0" APP13 segment, one line per dataset: description " = " value.
#include <cstdint>
#include <string>
#include <vector>

#include "metadata/tag_tables.hpp"

namespace meta {

const std::vector<TTagEntry>& IptcDataSetTable();  // 49 rows

class TIPTCdata {
 public:
  // The listing of a segment given as its two length bytes and its payload.
  std::vector<std::string> ListRecords(const ByteString& segment);
  // The same datasets as rows (record, dataset number, name, description,
  // value), in the order of the listing.
  std::vector<TTagEntry> Records(const ByteString& segment);
  // Reads the dataset whose record-number byte is at 1-based `position` of the
  // working buffer; advances past it and past the next dataset's marker byte.
  TTagEntry ReadDataSet(int32_t& position);

 private:
  ByteString buffer_;  // working buffer of the current listing
};

}  // namespace meta
