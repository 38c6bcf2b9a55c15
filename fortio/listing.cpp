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
  // Straight to the stream buffer when the stream is in its plain state (good, no tied stream to
  // flush first, no flush after every output), as ostream::write would do after its checks.
  const auto size = static_cast<std::streamsize>(record_.size());
  std::streambuf* buf = out_->rdbuf();
  if (buf == nullptr || !out_->good() || out_->tie() != nullptr ||
      (out_->flags() & std::ios::unitbuf)) {
    out_->write(record_.data(), size);
  } else if (buf->sputn(record_.data(), size) != size) {
    out_->setstate(std::ios::badbit);
  }
}

}  // namespace atmotab
