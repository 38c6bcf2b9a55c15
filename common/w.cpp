// w — labelled print of an array on the listing (used for the diagnostics of failed runs).
#include "common/w.h"

#include <string>
#include <vector>

#include "common/state.h"

namespace atmotab {

void w(Run& run, std::string_view label, const double* array, int n) {
  std::string text(label.substr(0, 6));
  text.resize(6, ' ');
  std::vector<FItem> items;
  items.reserve(1 + (n > 0 ? n : 0));
  items.emplace_back(std::string_view(text));
  for (int i = 0; i < n; ++i) items.emplace_back(array[i]);
  run.LISTING.print("('0',A6,1P,10E12.4,/,(7X,10E12.4))", items);
}

}  // namespace atmotab
