// Access to the tables of data/, compiled into the binary at build time (cmake/embed_data.cmake),
// so that a run needs no data files.
#pragma once

#include <span>
#include <string_view>

namespace atmotab {

struct EmbeddedFile {
  std::string_view name;  // file name in data/, e.g. "potion.txt"
  std::string_view text;  // the file's bytes
};

// Every embedded table.
std::span<const EmbeddedFile> embedded_files();

// The text of data/NAME; throws atmo_error when the build carries no such table.
std::string_view embedded_data(std::string_view name);

}  // namespace atmotab
