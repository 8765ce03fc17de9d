// Viterbi decoding of one sentence over the tagger's first-order model. Scores combine by
// the saturating ScoreAdd; among equal scores the member listed first in its class wins,
// both for the back-pointers and at the end. A transition row is shorter than tag_count
// when the later previous tags have no score, so the inner loop stops at its length
// (class members are ascending). Tested in tests/lib/tagger_decode_test.cpp against a
// plain reference decoder.
#include <utility>

#include "tagger/tagger.h"

namespace vtm {

void DecodeTags(const VtmTaggerRec& tagger, VtmTaggerBufferRec* b) {
  const int32_t n = b->tagged_count;
  if (n <= 0) return;
  int32_t* prev = b->score_prev;
  int32_t* next = b->score_next;
  int32_t c = b->token_classes[0];
  {
    const int16_t* members = tagger.class_tags[c];
    const int32_t* emissions = tagger.emission_rows[c];
    for (uint32_t j = 0; j < tagger.class_sizes[c]; ++j) {
      prev[j] = ScoreAdd(tagger.initial_scores[members[j]], emissions[j]);
    }
  }
  for (int32_t t = 1; t < n; ++t) {
    const int32_t pc = b->token_classes[t - 1];
    const int16_t* prev_members = tagger.class_tags[pc];
    const uint32_t prev_size = tagger.class_sizes[pc];
    c = b->token_classes[t];
    const int16_t* members = tagger.class_tags[c];
    const int32_t* emissions = tagger.emission_rows[c];
    uint8_t* back = b->back_rows[t];
    for (uint32_t j = 0; j < tagger.class_sizes[c]; ++j) {
      const int16_t u = members[j];
      const int32_t* row = tagger.transition_rows[u];
      const int32_t length = tagger.transition_lengths[u];
      int32_t best = kLowestScore;
      uint32_t from = 0;
      for (uint32_t i = 0; i < prev_size; ++i) {
        const int16_t p = prev_members[i];
        if (p >= length) break;
        const int32_t s = ScoreAdd(prev[i], row[p]);
        if (s > best) {
          best = s;
          from = i;
        }
      }
      next[j] = ScoreAdd(best, emissions[j]);
      back[j] = static_cast<uint8_t>(from);
    }
    std::swap(prev, next);
  }
  c = b->token_classes[n - 1];
  int32_t best = kLowestScore;
  uint32_t j = 0;
  for (uint32_t k = 0; k < tagger.class_sizes[c]; ++k) {
    if (prev[k] > best) {
      best = prev[k];
      j = k;
    }
  }
  for (int32_t t = n - 1; t >= 0; --t) {
    c = b->token_classes[t];
    b->token_tags[t] = static_cast<uint16_t>(tagger.class_tags[c][j]);
    if (t > 0) j = b->back_rows[t][j];
  }
}

}  // namespace vtm
