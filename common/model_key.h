// The key of a per-model cache: the model counter (ITEMP) and the depth count of the model its
// values were formed for. A cache compares the key it holds with model_key(run)
// (common/state.h) and forms its values again when they differ, then stores the new key: the key
// is written last, so a formation cut short by an exception leaves the cache stale. start_model
// (common/state.h) counts the model counter, so each model sees every cache stale once; the
// depth count makes a cache stale too when a caller changes NRHOX within a model.
#pragma once

namespace atmotab {

struct ModelKey {
  int EPOCH = -1;  // EPOCH  model counter of the values held; -1: none (below every counter)
  int NRHOX = -1;  // NRHOX  depth count of the values held
  bool operator==(const ModelKey&) const = default;
};

}  // namespace atmotab
