#pragma once
// The command line's JSON output: one object per file, gathered into one
// array. Every text is valid UTF-8: a text whose bytes are UTF-8 is a JSON
// string; any other becomes {"bytes": HEX, "text": the bytes read as
// Windows-1252}, so that its exact bytes survive.
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "metadata/image_reader.hpp"
#include "naming/batch_rename.hpp"
#include "naming/naming.hpp"

namespace cli {

nlohmann::ordered_json jsonText(std::string_view bytes);

// The report of the file read into `img`: facts, rows by section, comment,
// status.
nlohmann::ordered_json reportJson(const std::string& path, meta::TimgData& img);
// The new name of the file last evaluated by `naming`, and the element values.
nlohmann::ordered_json previewJson(const std::string& path, const naming::TNaming& naming);
// What the run did, or would do, with one file.
nlohmann::ordered_json planJson(const naming::FileResult& result);

// Writes the array and a line end to standard output; false on failure.
bool writeJson(const nlohmann::ordered_json& array);

}  // namespace cli
