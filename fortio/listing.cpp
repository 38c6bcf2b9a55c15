#include "fortio/listing.h"

namespace atmotab {

void Listing::print(std::string_view format, std::span<const FItem> items) {
  if (last_ == nullptr || last_->first != format) {
    auto it = formats_.find(format);
    if (it == formats_.end())
      it = formats_.emplace(std::string(format), FortranFormat(format)).first;
    last_ = &*it;
  }
  record_.clear();
  last_->second.write_to(record_, items);
  out_->write(record_.data(), static_cast<std::streamsize>(record_.size()));
}

}  // namespace atmotab
