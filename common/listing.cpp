#include "common/listing.h"

namespace atmotab {

void Listing::print(std::string_view format, std::span<const FItem> items) {
  auto it = formats_.find(format);
  if (it == formats_.end()) it = formats_.emplace(std::string(format), FortranFormat(format)).first;
  *out_ << it->second.write(items);
}

}  // namespace atmotab
