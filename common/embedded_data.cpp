#include "common/embedded_data.h"

#include "fortio/error.h"

namespace atmotab {

std::string_view embedded_data(std::string_view name) {
  for (const EmbeddedFile& f : embedded_files())
    if (f.name == name) return f.text;
  throw atmo_error(EXIT_IO, "embedded_data",
                   "no table data/" + std::string(name) + " in this build");
}

}  // namespace atmotab
