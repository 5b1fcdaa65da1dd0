#include "imagelist/ZVRImageList.h"

#include <QHash>
#include <QHashSeed>
#include <QThread>

#include <algorithm>
#include <bit>
#include <numeric>
#include <thread>
#include <utility>
#include <vector>

#include "errors/Errors.h"
#include "kit/KitGlobal.h"
#include "platform/Platform.h"

namespace {

const QString kClassName = QStringLiteral("ZVRImageList");

[[noreturn]] void RaiseInvalidParameter() {
  modMain::RaiseError(modMain::kErrInvalidParameter, kClassName);
}

// The selected positions as 0-based indexes, ascending, each once; error 9
// for one outside the list, before anything changes.
std::vector<int> SelectedIndexes(const QList<int>& positions, int count) {
  std::vector<int> indexes;
  indexes.reserve(positions.size());
  for (const int position : positions) {
    if (position < 1 || position > count) modMain::RaiseSubscriptOutOfRange();
    indexes.push_back(position - 1);
  }
  // A selection handed in order, as the window's is, needs no sorting.
  if (!std::is_sorted(indexes.begin(), indexes.end())) std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  return indexes;
}

// The numbers of the selected entries' names, in a flat table of their
// hashes: each entry's name is hashed once, and two names are compared only
// when their hashes agree, so a million distinct names cost a million hashes
// and no comparison.
class SelectedNames {
 public:
  std::vector<int> nameOf;  // per entry: its name's number, -1 if not selected
  int count = 0;            // of the names

  SelectedNames(const QStringList& entries, const std::vector<int>& selected)
      : nameOf(entries.size(), -1), hashes_(entries.size()) {
    const size_t seed = QHashSeed::globalSeed();
    for (qsizetype i = 0; i < entries.size(); ++i) hashes_[i] = qHash(entries.at(i), seed);
    // At most half full, so that a name not in it is told at the first
    // empty slot, a step or two away.
    slots_.resize(std::bit_ceil(2 * selected.size() + 2));
    // A large table is read at random: the slot an entry a few steps on
    // will read is fetched while this one is looked up, which makes a
    // million lookups several times faster.
    const auto ahead = [this](int index) { __builtin_prefetch(&slots_[Home(index)]); };
    for (size_t k = 0; k < selected.size(); ++k) {
      if (k + kAhead < selected.size()) ahead(selected[k + kAhead]);
      nameOf[selected[k]] = Number(entries, selected[k], true);
    }
    // The selected entries have their number already.
    const int entryCount = static_cast<int>(entries.size());
    for (int i = 0; i < entryCount; ++i) {
      if (i + kAhead < entryCount) ahead(i + kAhead);
      if (nameOf[i] < 0) nameOf[i] = Number(entries, i, false);
    }
  }

 private:
  static constexpr int kAhead = 16;

  struct Slot {
    quint32 hashHigh = 0;
    int entry = -1;  // the first selected entry of the name; -1 for an empty slot
  };

  size_t Home(int index) const { return hashes_[index] & (slots_.size() - 1); }

  // The number of the name of the entry at index; -1 when it is no selected
  // name, unless add gives it the next number.
  int Number(const QStringList& entries, int index, bool add) {
    const auto hashHigh = static_cast<quint32>(quint64{hashes_[index]} >> 32);
    for (size_t at = Home(index);; at = (at + 1) & (slots_.size() - 1)) {
      Slot& slot = slots_[at];
      if (slot.entry < 0) {
        if (!add) return -1;
        slot = {hashHigh, index};
        return count++;
      }
      if (slot.hashHigh == hashHigh && entries.at(slot.entry) == entries.at(index)) {
        return nameOf[slot.entry];
      }
    }
  }

  std::vector<size_t> hashes_;  // per entry
  std::vector<Slot> slots_;
};

// The entries grouped by the selected names: for each name, the indexes of
// all entries of that name in list order.
struct NameGroups {
  std::vector<int> nameOf;  // per entry: its name's number, -1 if not selected
  std::vector<int> start;   // per name: where its entries begin in members
  std::vector<int> members;

  NameGroups(const QStringList& entries, const std::vector<int>& selected) {
    SelectedNames names(entries, selected);
    nameOf = std::move(names.nameOf);
    start.assign(names.count + 1, 0);
    for (const int name : nameOf) {
      if (name >= 0) ++start[name + 1];
    }
    for (size_t name = 1; name < start.size(); ++name) start[name] += start[name - 1];
    members.resize(start.back());
    std::vector<int> filled(start.begin(), start.end() - 1);
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
      if (nameOf[i] >= 0) members[filled[nameOf[i]]++] = i;
    }
  }
};

}  // namespace

ZVRImageList::ZVRImageList() = default;

void ZVRImageList::Add(const QString& FileName) {
  if (KitGlobal().FileExists(FileName)) entries_.append(FileName);
}

void ZVRImageList::Add(const QStringList& FileNames) {
  // A stored list can name a million files, and each costs the file system
  // a lookup: the lookups are shared among threads, each taking a run of
  // names, and the names found are appended in order afterwards.
  constexpr qsizetype kLeastPerThread = 4096;
  const qsizetype count = FileNames.size();
  const qsizetype threads =
      std::clamp<qsizetype>(count / kLeastPerThread, 1, std::max(1, QThread::idealThreadCount()));
  const qsizetype perThread = (count + threads - 1) / threads;
  std::vector<char> exists(static_cast<size_t>(count));
  const auto check = [&FileNames, &exists, count, perThread](qsizetype part) {
    const qsizetype begin = std::min(count, part * perThread);
    const auto size = static_cast<size_t>(std::min(count - begin, perThread));
    FindFiles({FileNames.constData() + begin, size}, {exists.data() + begin, size});
  };
  {
    std::vector<std::jthread> helpers;
    for (qsizetype part = 1; part < threads; ++part) helpers.emplace_back(check, part);
    check(0);
  }
  entries_.reserve(entries_.size() + count);
  for (qsizetype i = 0; i < count; ++i) {
    if (exists[static_cast<size_t>(i)]) entries_.append(FileNames[i]);
  }
}

void ZVRImageList::Append(ZVRImageList&& Other) {
  entries_.append(std::move(Other.entries_));
  Other.entries_.clear();
}

void ZVRImageList::Clear() { entries_.clear(); }

int ZVRImageList::Count() const { return static_cast<int>(entries_.size()); }

QString ZVRImageList::FileName(int Index) const {
  if (Index < 1 || Index > Count()) modMain::RaiseSubscriptOutOfRange();
  return entries_.at(Index - 1);
}

std::unique_ptr<StringList> ZVRImageList::FileNames() const {
  auto list = std::make_unique<StringList>(entries_);
  list->SetSeparator(QStringLiteral("; "));
  list->SetQuoteBegin(QStringLiteral("\""));
  list->SetQuoteEnd(QStringLiteral("\""));
  return list;
}

void ZVRImageList::FileNames(const StringList* NewValue) {
  Clear();
  if (NewValue == nullptr) return;
  const int count = NewValue->Count();
  QStringList names;
  names.reserve(count);
  for (int i = 1; i <= count; ++i) names.append(NewValue->Item(i));
  Add(names);
}

int ZVRImageList::IndexFromContent(const QString& Content) const {
  const int position = IndexOf(Content);
  if (position == 0) RaiseInvalidParameter();
  return position;
}

void ZVRImageList::Move(const QString& FileName, int Index) {
  // Index below 1 would put the entry nowhere; it is refused like one past
  // the end, before anything changes.
  if (Index > Count() || Index < 1) RaiseInvalidParameter();
  const int position = IndexOf(FileName);
  if (position == 0) modMain::RaiseSubscriptOutOfRange();
  entries_.move(position - 1, Index - 1);
}

void ZVRImageList::MoveDown(const QString& FileName) {
  const int position = IndexOf(FileName);
  if (position == 0) RaiseInvalidParameter();
  entries_.move(position - 1, position == Count() ? 0 : position);
}

void ZVRImageList::MoveUp(const QString& FileName) {
  const int position = IndexOf(FileName);
  if (position == 0) RaiseInvalidParameter();
  entries_.move(position - 1, position == 1 ? Count() - 1 : position - 2);
}

QString ZVRImageList::NextFileName(const QString& FileName, bool Rotate) const {
  const int position = IndexOf(FileName);
  if (position == 0 || (position == Count() && !Rotate)) RaiseInvalidParameter();
  return entries_.at(position == Count() ? 0 : position);
}

QString ZVRImageList::PrevFileName(const QString& FileName, bool Rotate) const {
  const int position = IndexOf(FileName);
  if (position == 0 || (position == 1 && !Rotate)) RaiseInvalidParameter();
  return entries_.at(position == 1 ? Count() - 1 : position - 2);
}

void ZVRImageList::Remove(const QString& FileName) {
  const int position = IndexOf(FileName);
  if (position == 0) modMain::RaiseSubscriptOutOfRange();
  entries_.removeAt(position - 1);
}

int ZVRImageList::RemoveSelected(const QList<int>& Positions, int Follow) {
  // Each removal of a name takes its first entry, so k removals of a name
  // take its first k entries, whichever of them were selected.
  const std::vector<int> selected = SelectedIndexes(Positions, Count());
  if (selected.empty()) return Follow;
  const SelectedNames names(entries_, selected);
  std::vector<int> removals(names.count, 0);
  for (const int index : selected) ++removals[names.nameOf[index]];
  // The kept entries close up in place. The followed entry's place is taken
  // by the first kept entry from it on, so its new position counts the kept
  // entries before it.
  int followed = 0;
  int kept = 0;
  for (int index = 0; index < Count(); ++index) {
    if (index == Follow - 1) followed = kept + 1;
    const int name = names.nameOf[index];
    if (name >= 0 && removals[name] > 0) {
      --removals[name];
      continue;
    }
    if (kept != index) entries_[kept] = std::move(entries_[index]);
    ++kept;
  }
  entries_.resize(kept);
  return followed;
}

QList<int> ZVRImageList::MoveSelectedUp(const QList<int>& Positions, const QList<int>& Follow) {
  return MoveSelected(Positions, true, Follow);
}

QList<int> ZVRImageList::MoveSelectedDown(const QList<int>& Positions, const QList<int>& Follow) {
  return MoveSelected(Positions, false, Follow);
}

// The entries stand on a ring read from a start slot, so an entry that wraps
// from one end to the other moves only the start. Each step moves the first
// entry of a name, which swaps it with a neighbour of another name, so the
// entries of one name never pass each other: the first of a name is found by
// counting. Moving up, it is the one after as many of its entries as have
// wrapped to the end; moving down, one that wraps to the front is the only
// entry of its name, so the first never changes.
QList<int> ZVRImageList::MoveSelected(const QList<int>& Positions, bool Up,
                                      const QList<int>& Follow) {
  const std::vector<int> selected = SelectedIndexes(Positions, Count());
  if (selected.empty()) return Follow;
  const NameGroups groups(entries_, selected);
  const int n = Count();
  std::vector<int> entryAt(n), slotOf(n);
  std::iota(entryAt.begin(), entryAt.end(), 0);
  std::iota(slotOf.begin(), slotOf.end(), 0);
  // Per name, how many of its entries have wrapped to the end: fewer than
  // its entries at each of its steps, which are no more than its entries.
  std::vector<int> wrapped(groups.start.size() - 1, 0);
  int first = 0;  // the slot of the list's first entry
  const auto placeOf = [&first, n](int slot) {
    return slot >= first ? slot - first : slot - first + n;
  };
  // Which entry's row stands in each slot, kept only when rows are followed.
  // Entries of one name are told apart here even where the list below does
  // not need to: a followed row keeps to its own entry, as entry-by-entry
  // moves would.
  std::vector<int> rowAt(Follow.isEmpty() ? 0 : n);
  std::iota(rowAt.begin(), rowAt.end(), 0);
  const auto step = [&](int index) {
    const int name = groups.nameOf[index];
    const int entry = groups.members[groups.start[name] + wrapped[name]];
    const int slot = slotOf[entry];
    const int place = placeOf(slot);
    if (Up && place == 0) {
      first = first + 1 == n ? 0 : first + 1;
      ++wrapped[name];
    } else if (!Up && place == n - 1) {
      first = slot;
    } else {
      const int other = Up ? (slot == 0 ? n - 1 : slot - 1) : (slot + 1 == n ? 0 : slot + 1);
      if (!rowAt.empty()) std::swap(rowAt[slot], rowAt[other]);
      // Two entries of the same name trade places without a visible change.
      if (groups.nameOf[entryAt[other]] == name) return;
      std::swap(entryAt[slot], entryAt[other]);
      slotOf[entryAt[slot]] = slot;
      slotOf[entryAt[other]] = other;
    }
  };
  if (Up) {
    std::for_each(selected.begin(), selected.end(), step);
  } else {
    std::for_each(selected.rbegin(), selected.rend(), step);
  }
  // The entries move, not copied, from the slots in ring order.
  QStringList moved;
  moved.reserve(n);
  for (int slot = first; slot < n; ++slot) moved.append(std::move(entries_[entryAt[slot]]));
  for (int slot = 0; slot < first; ++slot) moved.append(std::move(entries_[entryAt[slot]]));
  entries_ = std::move(moved);
  std::vector<int> positionOf(rowAt.size());
  for (int slot = 0; slot < static_cast<int>(rowAt.size()); ++slot)
    positionOf[rowAt[slot]] = placeOf(slot) + 1;
  QList<int> went;
  went.reserve(Follow.size());
  for (const int position : Follow)
    went.append(position >= 1 && position <= n ? positionOf[position - 1] : 0);
  return went;
}

QString ZVRImageList::NextStoredFileName(const StoredItems& forEachItem, const QString& FileName,
                                         const std::function<void(QStringView)>& Skipped) {
  bool found = false;
  QString next;
  // The first entry after the walk's start whose file exists.
  const auto existing = [&](QStringView item) {
    if (KitGlobal().FileExists(item.toString())) {
      next = item.toString();
      return false;
    }
    if (Skipped) Skipped(item);
    return true;
  };
  forEachItem([&](QStringView item) {
    if (found) return existing(item);
    if (item != FileName) return true;
    // Every entry of this name names the same file: when it is missing, the
    // loaded list would hold none of them.
    found = KitGlobal().FileExists(FileName);
    return found;
  });
  if (!found) RaiseInvalidParameter();
  // Past the end the walk wraps to the first entry whose file exists, at the
  // latest the one equal to FileName.
  if (next.isNull()) forEachItem(existing);
  return next;
}

int ZVRImageList::IndexOf(const QString& FileName) const {
  const qsizetype index = entries_.indexOf(FileName);
  return index < 0 ? 0 : static_cast<int>(index) + 1;
}
