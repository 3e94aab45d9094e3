// Chain selection: between each two anchors, the chain of links with the best score is
// realised; the candidates it does not pass through become invalid.
#include "crash/stack/trace_state.h"

namespace userdb::crash::detail {
namespace {

constexpr uint64_t Bit(unsigned n) {
  return uint64_t{1} << n;
}

constexpr uint64_t kStartScore = Bit(60);
constexpr uint64_t kReachedWithFunction = 7 * Bit(60);
constexpr uint64_t kReachedWithoutFunction = 5 * Bit(60);
constexpr uint64_t kThroughFunctions = Bit(61);
constexpr uint64_t kReachesEnd = Bit(62);
constexpr unsigned kFunctionBonus = 14;
constexpr unsigned kLineBonus = 3;

class ChainSelector {
 public:
  explicit ChainSelector(TraceState& state) : state_(state), candidates_(state.candidates) {}

  bool Run() {
    const size_t count = candidates_.size();
    if (count == 0) return true;
    state_.Progress(650);
    ptrdiff_t hi = static_cast<ptrdiff_t>(count) - 1;
    for (ptrdiff_t i = hi; i >= 0; --i) {
      if (state_.Aborted()) return false;
      state_.Progress(static_cast<int>((count - 1 - static_cast<size_t>(i)) * 350 / count + 650));
      if (!candidates_[static_cast<size_t>(i)].anchor) continue;
      Realize(i, hi);
      hi = i;
    }
    Realize(-1, hi);
    return !state_.Aborted();
  }

 private:
  TStackLinks& LinksToward(size_t from, ptrdiff_t to) {
    return static_cast<ptrdiff_t>(from) < to ? candidates_[from].newer : candidates_[from].older;
  }

  // The bonus exponent of a scored link from `from`.
  unsigned Bonus(size_t from, const TStackLink& link, bool direct, uint64_t score) {
    unsigned bonus = 0;
    if (link.function) {
      bonus = kFunctionBonus;
      if (direct || (score & kThroughFunctions)) bonus += kFunctionBonus;
      if (state_.Function(*link.function).approved) bonus += kFunctionBonus;
    }
    const TInternalStackItem& first = candidates_[from];
    const TInternalStackItem& other = candidates_[*link.other];
    TraceContext& context = state_.context;
    if (first.module && other.module && context.TableOf(first.module) != nullptr) {
      bonus += kLineBonus;
      if (context.LineAt(first.module, first.address - 1) > 0) bonus += kLineBonus;
      if (context.TableOf(other.module) != nullptr &&
          context.LineAt(other.module, other.address - 1) > 0) {
        bonus += kLineBonus;
      }
    }
    return bonus;
  }

  // ScoreChain(direct, first -> last), without recursion: a chain may pass through thousands
  // of candidates. Each link is scored once and keeps its score.
  uint64_t ScoreChain(bool direct, size_t first, ptrdiff_t last) {
    struct Frame {
      size_t candidate;
      bool direct;
      size_t next_link = 0;
      uint64_t best = kStartScore;
      std::optional<size_t> best_link{};
      std::optional<size_t> waiting_link{};  // the link whose score the frame above computes
    };
    std::vector<Frame> frames{Frame{.candidate = first, .direct = direct}};
    uint64_t returned = 0;
    bool has_returned = false;
    for (;;) {
      Frame& frame = frames.back();
      TStackLinks& list = LinksToward(frame.candidate, last);
      if (has_returned) {
        has_returned = false;
        FinishLink(frame, list.links[*frame.waiting_link], returned);
        frame.waiting_link.reset();
      }
      bool descended = false;
      while (!state_.Aborted() && frame.next_link < list.links.size()) {
        const size_t index = frame.next_link++;
        TStackLink& link = list.links[index];
        if (!link.other) continue;
        if (link.score == 0) {
          if (static_cast<ptrdiff_t>(*link.other) == last) {
            const uint64_t reached = link.function ? kReachedWithFunction : kReachedWithoutFunction;
            FinishLink(frame, link, reached);
          } else {
            frame.waiting_link = index;
            const bool child_direct = frame.direct && link.function.has_value();
            frames.push_back(Frame{.candidate = *link.other, .direct = child_direct});
            descended = true;
            break;
          }
        }
        Consider(frame, link, index);
      }
      if (descended) continue;
      if (frame.best_link) list.best = frame.best_link;
      returned = frame.best;
      frames.pop_back();
      if (frames.empty()) return returned;
      has_returned = true;
    }
  }

  // Scores a link from the score of the chain behind it, and weighs it in its frame.
  void FinishLink(auto& frame, TStackLink& link, uint64_t chain_score) {
    uint64_t score = chain_score;
    if (!link.function) score &= ~kThroughFunctions;
    link.score = score + Bit(Bonus(frame.candidate, link, frame.direct, score));
    if (frame.waiting_link) Consider(frame, link, *frame.waiting_link);
  }

  void Consider(auto& frame, const TStackLink& link, size_t index) {
    if (link.score > frame.best) {
      frame.best = link.score;
      frame.best_link = index;
    }
  }

  void Realize(ptrdiff_t lo, ptrdiff_t hi) {
    if (hi - lo < 2) return;
    const uint64_t s1 = lo >= 0 ? ScoreChain(true, static_cast<size_t>(lo), hi) : 0;
    const uint64_t s2 = (s1 & kReachesEnd) ? 0 : ScoreChain(true, static_cast<size_t>(hi), lo);
    for (ptrdiff_t i = lo + 1; i < hi; ++i) candidates_[static_cast<size_t>(i)].invalid = true;
    const bool upward = s1 > s2;
    ptrdiff_t at = upward ? lo : hi;
    const ptrdiff_t end = upward ? hi : lo;
    while (at != end) {
      const TStackLinks& list = LinksToward(static_cast<size_t>(at), end);
      if (!list.best || !list.links[*list.best].other) break;
      at = static_cast<ptrdiff_t>(*list.links[*list.best].other);
      if (at == end) break;
      if ((upward && at > end) || (!upward && at < end)) break;
      candidates_[static_cast<size_t>(at)].invalid = false;
    }
  }

  TraceState& state_;
  std::vector<TInternalStackItem>& candidates_;
};

}  // namespace

bool RealizeOptimalLinkChains(TraceState& state) {
  return ChainSelector(state).Run();
}

}  // namespace userdb::crash::detail
