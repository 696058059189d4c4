// The edit history of the depth profiles: "Undo edit" and "Redo edit" over the last edits made
// with the profile tools (strokes of the mouse, erfc steps, lines, smoothing, profiles loaded),
// one history per mode. An edit keeps only the stretch of each profile it changed, with runs of
// equal values stored once, so a stroke over a two-million-point film costs a few kilobytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/profile.h"
#include "state/packed_values.h"
#include "state/working_state.h"

namespace tarvex {

// The fields of a profile besides its values.
struct ProfileShape {
  double startDepth = 0.0;
  int count = 0;
  double step = 0.0;
  std::size_t size = 0;  // values.size()
  bool operator==(const ProfileShape&) const = default;
  static ProfileShape of(const profile& p);
};

// One profile changed by an edit. Applying it swaps the stretch [first, first + length) with
// the stored values and the shape with the other one, so the same record undoes and redoes.
struct ProfileChange {
  ProfileRef target;
  ProfileShape shape;  // the shape the profile has while the change is applicable
  ProfileShape other;  // the shape applying it gives
  std::size_t first = 0;
  std::size_t length = 0;  // points from first that applying replaces
  std::uint64_t hash = 0;  // of those points: tells a profile changed by other means
  PackedValues values;     // what applying puts there

  // The difference between two states of one profile; nothing when they are equal.
  static std::optional<ProfileChange> between(const ProfileRef& target, const profile& before,
                                              const profile& after);
  bool applicable(const profile& p) const;
  void apply(profile& p);
  std::size_t bytes() const;
};

// The values of one stretch of a profile kept before a tool changes it, for a tool whose reach
// is known (a line, an erfc step, a stroke): no copy of the whole profile.
class StretchSnapshot {
 public:
  StretchSnapshot(const ProfileRef& target, const profile& p);
  // Keeps the values of [from, to) too (clamped to the profile), as they are now; call before
  // the tool changes them. The kept stretch is the hull of every call.
  void cover(const profile& p, std::size_t from, std::size_t to);
  const ProfileRef& target() const { return target_; }
  // What changed since; nothing when no point changed (or the shape changed, which these
  // tools never do).
  std::optional<ProfileChange> changeSince(const profile& now) const;

 private:
  ProfileRef target_;
  ProfileShape shape_;
  std::size_t from_ = 0;
  std::vector<double> right_;    // values from from_ upward
  std::vector<double> leftRev_;  // values below from_, nearest first
};

// The points a straight line between the depths x1 and x2 can change in p (a superset).
std::pair<std::size_t, std::size_t> lineReach(const profile& p, double x1, double x2);
// The points an erfc step of width sigma can change in p (a superset).
std::pair<std::size_t, std::size_t> erfcReach(const profile& p, double sigma);

class EditHistory {
 public:
  // Edits kept per mode, and the memory all kept edits of both modes may take together: 64 MB,
  // four changes of a whole 1 um film at 0.005 A. The oldest edits go first.
  static constexpr std::size_t kMaxEdits = 50;
  static constexpr std::size_t kMaxBytes = std::size_t{64} << 20;

  struct Edit {
    std::string what;  // "Smooth", "Draw line", ...
    std::vector<ProfileChange> changes;
    std::uint64_t serial = 0;
    std::size_t bytes = 0;
  };

  // A new edit of the mode its profiles belong to; it clears that mode's redo list. An edit
  // without changes is not kept.
  void record(std::string what, std::vector<ProfileChange> changes);
  void record(std::string what, std::optional<ProfileChange> change);

  // A stroke of the mouse: the stretch each segment reaches is kept before the segment is drawn,
  // and the whole stroke becomes one edit when it ends.
  void strokeSegment(WorkingState& st, const ProfileRef& target, std::size_t from, std::size_t to);
  void endStroke(WorkingState& st);
  bool strokeOpen() const { return stroke_.has_value(); }

  enum class Outcome { Done, Nothing, Changed };
  struct Step {
    Outcome outcome = Outcome::Nothing;
    std::string what;                  // the edit undone or redone
    std::vector<ProfileRef> profiles;  // the profiles it changed
  };
  // Undoes (or redoes) the last edit of a mode. Changed: a profile was changed by other means
  // since; that mode's history is cleared and nothing changes.
  Step undo(WorkingState& st, bool nra) { return step(st, nra, true); }
  Step redo(WorkingState& st, bool nra) { return step(st, nra, false); }

  // Drops the changes of element profiles whose element left the composition (and edits left
  // without changes): an undo never brings back the profile of a deleted element.
  // While a pause lives, nothing is recorded: a trial ("Try add erfc") puts the profile back as
  // it was, whatever the calculation it runs did to it meanwhile.
  class Pause {
   public:
    explicit Pause(EditHistory& h) : h_(h) { ++h_.paused_; }
    ~Pause() { --h_.paused_; }
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;

   private:
    EditHistory& h_;
  };

  void forgetElementsNotIn(const std::map<std::string, element>& elements);
  void clear(bool nra);

  std::size_t undoCount(bool nra) const { return lane(nra).undo.size(); }
  std::size_t redoCount(bool nra) const { return lane(nra).redo.size(); }
  std::size_t bytes() const { return bytes_; }

 private:
  struct Lane {
    std::deque<Edit> undo;  // back: the last edit
    std::deque<Edit> redo;  // back: the next to redo
  };
  Lane& lane(bool nra) { return nra ? nra_ : ion_; }
  const Lane& lane(bool nra) const { return nra ? nra_ : ion_; }
  Step step(WorkingState& st, bool nra, bool undo);
  void recount();
  void trim();

  Lane nra_;
  Lane ion_;
  std::optional<StretchSnapshot> stroke_;
  std::uint64_t serial_ = 0;
  std::size_t bytes_ = 0;
  int paused_ = 0;
};

// The profile a reference names in the working state (nullptr for an element profile that
// does not exist).
profile* profileOf(WorkingState& st, const ProfileRef& ref);

}  // namespace tarvex
