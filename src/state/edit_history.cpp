#include "state/edit_history.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

namespace tarvex {
namespace {

std::uint64_t bitsOf(double v) {
  return std::bit_cast<std::uint64_t>(v);
}

// A 64-bit hash of the bit patterns of n values (splitmix64 steps): two different stretches
// that hash alike are not a concern for telling whether a profile was changed by other means.
std::uint64_t hashOf(const double* v, std::size_t n) {
  std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ n;
  for (std::size_t i = 0; i < n; ++i) {
    std::uint64_t z = h ^ bitsOf(v[i]);
    z += 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    h = z ^ (z >> 31);
  }
  return h;
}

bool sameProfile(const ProfileRef& a, const ProfileRef& b) {
  return a.nra == b.nra && (a.nra || a.element == b.element);
}

// A whole number of points from a depth in points, within [0, count].
std::size_t pointIndex(double x, int count) {
  if (!(x > 0.0)) return 0;
  if (!(x < static_cast<double>(count))) return static_cast<std::size_t>(std::max(count, 0));
  return static_cast<std::size_t>(x);
}

}  // namespace

// ---- One changed profile ----------------------------------------------------------------------

ProfileShape ProfileShape::of(const profile& p) {
  return {p.startDepth, p.count, p.step, p.values.size()};
}

std::optional<ProfileChange> ProfileChange::between(const ProfileRef& target, const profile& before,
                                                    const profile& after) {
  const std::vector<double>& b = before.values;
  const std::vector<double>& a = after.values;
  const std::size_t common = std::min(b.size(), a.size());
  std::size_t first = 0;
  while (first < common && bitsOf(b[first]) == bitsOf(a[first]))
    ++first;
  std::size_t lengthBefore = b.size() - first;
  std::size_t lengthAfter = a.size() - first;
  if (b.size() == a.size()) {
    std::size_t last = a.size();
    while (last > first && bitsOf(b[last - 1]) == bitsOf(a[last - 1]))
      --last;
    lengthBefore = lengthAfter = last - first;
  }
  const ProfileShape shapeBefore = ProfileShape::of(before);
  const ProfileShape shapeAfter = ProfileShape::of(after);
  if (lengthBefore == 0 && lengthAfter == 0 && shapeBefore == shapeAfter) return std::nullopt;
  ProfileChange c;
  c.target = target;
  c.shape = shapeAfter;
  c.other = shapeBefore;
  c.first = first;
  c.length = lengthAfter;
  c.hash = hashOf(a.data() + first, lengthAfter);
  c.values = PackedValues::pack(b.data() + first, lengthBefore);
  return c;
}

bool ProfileChange::applicable(const profile& p) const {
  return ProfileShape::of(p) == shape && first + length <= p.values.size() &&
         hashOf(p.values.data() + first, length) == hash;
}

void ProfileChange::apply(profile& p) {
  PackedValues now = PackedValues::pack(p.values.data() + first, length);
  if (values.size() == length) {
    values.unpack(p.values.data() + first);
  } else {
    // A change of length reaches to the end of the profile (see between()); a tail is kept all
    // the same.
    const std::vector<double> tail(p.values.begin() + static_cast<std::ptrdiff_t>(first + length),
                                   p.values.end());
    p.values.resize(first + values.size());
    values.unpack(p.values.data() + first);
    p.values.insert(p.values.end(), tail.begin(), tail.end());
  }
  p.startDepth = other.startDepth;
  p.count = other.count;
  p.step = other.step;
  length = values.size();
  hash = hashOf(p.values.data() + first, length);
  values = std::move(now);
  std::swap(shape, other);
}

std::size_t ProfileChange::bytes() const {
  return sizeof(ProfileChange) + values.bytes() + target.element.capacity();
}

// ---- A stretch kept before a tool ---------------------------------------------------------------

StretchSnapshot::StretchSnapshot(const ProfileRef& target, const profile& p)
    : target_(target), shape_(ProfileShape::of(p)) {}

void StretchSnapshot::cover(const profile& p, std::size_t from, std::size_t to) {
  to = std::min(to, p.values.size());
  if (from >= to) return;
  if (right_.empty() && leftRev_.empty()) {
    from_ = from;
    right_.assign(p.values.begin() + static_cast<std::ptrdiff_t>(from),
                  p.values.begin() + static_cast<std::ptrdiff_t>(to));
    return;
  }
  // Points outside the hull kept so far are still as they were before the tool.
  const std::size_t lo = from_ - leftRev_.size();
  const std::size_t hi = from_ + right_.size();
  for (std::size_t i = lo; i > from; --i)
    leftRev_.push_back(p.values[i - 1]);
  for (std::size_t i = hi; i < to; ++i)
    right_.push_back(p.values[i]);
}

std::optional<ProfileChange> StretchSnapshot::changeSince(const profile& now) const {
  if (!(ProfileShape::of(now) == shape_)) return std::nullopt;
  const std::size_t lo = from_ - leftRev_.size();
  const std::size_t n = leftRev_.size() + right_.size();
  const auto before = [&](std::size_t k) {
    return k < leftRev_.size() ? leftRev_[leftRev_.size() - 1 - k] : right_[k - leftRev_.size()];
  };
  std::size_t f = 0;
  while (f < n && bitsOf(before(f)) == bitsOf(now.values[lo + f]))
    ++f;
  if (f == n) return std::nullopt;
  std::size_t l = n;
  while (l > f && bitsOf(before(l - 1)) == bitsOf(now.values[lo + l - 1]))
    --l;
  std::vector<double> kept(l - f);
  for (std::size_t k = f; k < l; ++k)
    kept[k - f] = before(k);
  ProfileChange c;
  c.target = target_;
  c.shape = shape_;
  c.other = shape_;
  c.first = lo + f;
  c.length = l - f;
  c.hash = hashOf(now.values.data() + c.first, c.length);
  c.values = PackedValues::pack(kept.data(), kept.size());
  return c;
}

std::pair<std::size_t, std::size_t> lineReach(const profile& p, double x1, double x2) {
  if (!std::isfinite(x1) || !std::isfinite(x2) || !(p.step > 0.0)) return {0, 0};
  const double depth = p.count * p.step;
  const double a = std::clamp(std::min(x1, x2), 0.0, depth) / p.step;
  const double b = std::clamp(std::max(x1, x2), 0.0, depth) / p.step;
  return {pointIndex(std::floor(a) - 1.0, p.count), pointIndex(std::floor(b) + 2.0, p.count)};
}

std::pair<std::size_t, std::size_t> erfcReach(const profile& p, double sigma) {
  if (!(p.step > 0.0)) return {0, 0};
  const double reach = 4.0 * sigma / p.step;
  if (!(reach > 0.0)) return {0, 0};
  const double limit = std::min(static_cast<double>(p.count), std::trunc(reach));
  return {0, pointIndex(std::floor(limit + p.startDepth / p.step) + 2.0, p.count)};
}

profile* profileOf(WorkingState& st, const ProfileRef& ref) {
  if (ref.nra) return &st.nraProfile;
  auto it = st.elementProfiles.find(ref.element);
  return it == st.elementProfiles.end() ? nullptr : &it->second;
}

// ---- The history --------------------------------------------------------------------------------

void EditHistory::record(std::string what, std::vector<ProfileChange> changes) {
  if (changes.empty() || paused_ > 0) return;
  Edit e;
  e.what = std::move(what);
  e.changes = std::move(changes);
  e.serial = ++serial_;
  Lane& l = lane(e.changes.front().target.nra);
  l.redo.clear();
  l.undo.push_back(std::move(e));
  while (l.undo.size() > kMaxEdits)
    l.undo.pop_front();
  recount();
  trim();
}

void EditHistory::record(std::string what, std::optional<ProfileChange> change) {
  std::vector<ProfileChange> changes;
  if (change) changes.push_back(std::move(*change));
  record(std::move(what), std::move(changes));
}

void EditHistory::strokeSegment(WorkingState& st, const ProfileRef& target, std::size_t from,
                                std::size_t to) {
  if (stroke_ && !sameProfile(stroke_->target(), target)) endStroke(st);
  profile* p = profileOf(st, target);
  if (p == nullptr) return;
  if (!stroke_) stroke_.emplace(target, *p);
  stroke_->cover(*p, from, to);
}

void EditHistory::endStroke(WorkingState& st) {
  if (!stroke_) return;
  const StretchSnapshot stroke = std::move(*stroke_);
  stroke_.reset();
  if (profile* p = profileOf(st, stroke.target())) record("Stroke", stroke.changeSince(*p));
}

EditHistory::Step EditHistory::step(WorkingState& st, bool nra, bool undo) {
  Step result;
  Lane& l = lane(nra);
  std::deque<Edit>& from = undo ? l.undo : l.redo;
  if (from.empty()) return result;
  // Every profile is checked before any changes: an edit is undone whole or not at all.
  for (const ProfileChange& c : from.back().changes) {
    const profile* p = profileOf(st, c.target);
    if (p == nullptr || !c.applicable(*p)) {
      clear(nra);
      result.outcome = Outcome::Changed;
      return result;
    }
  }
  Edit e = std::move(from.back());
  from.pop_back();
  if (undo) {
    for (auto it = e.changes.rbegin(); it != e.changes.rend(); ++it)
      it->apply(*profileOf(st, it->target));
  } else {
    for (ProfileChange& c : e.changes)
      c.apply(*profileOf(st, c.target));
  }
  result.outcome = Outcome::Done;
  result.what = e.what;
  for (const ProfileChange& c : e.changes)
    result.profiles.push_back(c.target);
  (undo ? l.redo : l.undo).push_back(std::move(e));
  recount();
  trim();
  return result;
}

void EditHistory::forgetElementsNotIn(const std::map<std::string, element>& elements) {
  const auto gone = [&](const ProfileChange& c) {
    return !c.target.nra && elements.count(c.target.element) == 0;
  };
  bool any = false;
  for (std::deque<Edit>* edits : {&ion_.undo, &ion_.redo}) {
    for (Edit& e : *edits) {
      const auto end = std::remove_if(e.changes.begin(), e.changes.end(), gone);
      any = any || end != e.changes.end();
      e.changes.erase(end, e.changes.end());
    }
    std::erase_if(*edits, [](const Edit& e) { return e.changes.empty(); });
  }
  if (stroke_ && !stroke_->target().nra && elements.count(stroke_->target().element) == 0) {
    stroke_.reset();
  }
  if (any) recount();
}

void EditHistory::clear(bool nra) {
  lane(nra) = Lane{};
  recount();
}

void EditHistory::recount() {
  bytes_ = 0;
  for (Lane* l : {&nra_, &ion_}) {
    for (std::deque<Edit>* edits : {&l->undo, &l->redo}) {
      for (Edit& e : *edits) {
        e.bytes = sizeof(Edit) + e.what.capacity();
        for (const ProfileChange& c : e.changes)
          e.bytes += c.bytes();
        bytes_ += e.bytes;
      }
    }
  }
}

void EditHistory::trim() {
  // The oldest edit to undo goes first, whichever mode it belongs to; only when no edit is left
  // to undo do the redo lists shrink, from the far end.
  while (bytes_ > kMaxBytes) {
    std::deque<Edit>* from = nullptr;
    for (std::deque<Edit>* d : {&nra_.undo, &ion_.undo}) {
      if (!d->empty() && (from == nullptr || d->front().serial < from->front().serial)) from = d;
    }
    if (from == nullptr) {
      for (std::deque<Edit>* d : {&nra_.redo, &ion_.redo}) {
        if (!d->empty() && (from == nullptr || d->front().serial < from->front().serial)) from = d;
      }
    }
    if (from == nullptr) break;
    bytes_ -= from->front().bytes;
    from->pop_front();
  }
}

}  // namespace tarvex
