#include "imagelist/ZVRImageList.h"

#include <QHash>
#include <QThread>

#include <algorithm>
#include <numeric>
#include <thread>
#include <utility>
#include <vector>

#include "errors/Errors.h"
#include "kit/KitGlobal.h"

namespace {

const QString kClassName = QStringLiteral("ZVRImageList");

[[noreturn]] void RaiseInvalidParameter() {
  modMain::RaiseError(modMain::kErrInvalidParameter, kClassName);
}

// The selected positions as 0-based indexes, ascending, each once; error 9
// for one outside the list, before anything changes.
std::vector<qsizetype> SelectedIndexes(const QList<int>& positions, int count) {
  std::vector<qsizetype> indexes;
  indexes.reserve(positions.size());
  for (const int position : positions) {
    if (position < 1 || position > count) modMain::RaiseSubscriptOutOfRange();
    indexes.push_back(position - 1);
  }
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  return indexes;
}

// The entries grouped by the selected names: for each name, the indexes of
// all entries of that name in list order.
struct NameGroups {
  std::vector<int> nameOf;       // per entry: its name's number, -1 if not selected
  std::vector<qsizetype> start;  // per name: where its entries begin in members
  std::vector<qsizetype> members;

  NameGroups(const QStringList& entries, const std::vector<qsizetype>& selected) {
    QHash<QString, int> numbers;
    numbers.reserve(static_cast<qsizetype>(selected.size()));
    nameOf.assign(entries.size(), -1);
    for (const qsizetype index : selected) {
      const int next = static_cast<int>(numbers.size());
      nameOf[index] = *numbers.insert(entries.at(index), numbers.value(entries.at(index), next));
    }
    start.assign(numbers.size() + 1, 0);
    for (qsizetype i = 0; i < entries.size(); ++i) {
      // The selected entries have their number already.
      if (nameOf[i] < 0) nameOf[i] = numbers.value(entries.at(i), -1);
      if (nameOf[i] >= 0) ++start[nameOf[i] + 1];
    }
    for (size_t name = 1; name < start.size(); ++name) start[name] += start[name - 1];
    members.resize(start.back());
    std::vector<qsizetype> filled(start.begin(), start.end() - 1);
    for (qsizetype i = 0; i < entries.size(); ++i) {
      if (nameOf[i] >= 0) members[filled[nameOf[i]]++] = i;
    }
  }
  qsizetype Count(int name) const { return start[name + 1] - start[name]; }
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
  const ZKitGlobal& kit = KitGlobal();
  const auto check = [&kit, &FileNames, &exists, count, perThread](qsizetype part) {
    for (qsizetype i = part * perThread; i < std::min(count, (part + 1) * perThread); ++i) {
      exists[static_cast<size_t>(i)] = kit.FileExists(FileNames[i]);
    }
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

void ZVRImageList::Append(const ZVRImageList& Other) { entries_.append(Other.entries_); }

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
  const std::vector<qsizetype> selected = SelectedIndexes(Positions, Count());
  QHash<QString, qsizetype> removals;
  removals.reserve(static_cast<qsizetype>(selected.size()));
  qsizetype left = 0;
  for (const qsizetype index : selected) {
    ++removals[entries_.at(index)];
    ++left;
  }
  if (left == 0) return Follow;
  // The followed entry's place is taken by the first kept entry from it on,
  // so its new position counts the kept entries before it.
  int followed = 0;
  QStringList kept;
  kept.reserve(entries_.size() - left);
  for (qsizetype index = 0; index < entries_.size(); ++index) {
    if (index == Follow - 1) followed = static_cast<int>(kept.size()) + 1;
    const QString& entry = entries_.at(index);
    if (left > 0) {
      const auto found = removals.find(entry);
      if (found != removals.end() && *found > 0) {
        --*found;
        --left;
        continue;
      }
    }
    kept.append(entry);
  }
  entries_ = std::move(kept);
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
  const std::vector<qsizetype> selected = SelectedIndexes(Positions, Count());
  if (selected.empty()) return Follow;
  const NameGroups groups(entries_, selected);
  const qsizetype n = entries_.size();
  std::vector<qsizetype> entryAt(n), slotOf(n);
  for (qsizetype i = 0; i < n; ++i) entryAt[i] = slotOf[i] = i;
  std::vector<qsizetype> wrapped(groups.start.size() - 1, 0);
  qsizetype first = 0;  // the slot of the list's first entry
  // Which entry's row stands in each slot, kept only when rows are followed.
  // Entries of one name are told apart here even where the list below does
  // not need to: a followed row keeps to its own entry, as entry-by-entry
  // moves would.
  std::vector<qsizetype> rowAt(Follow.isEmpty() ? 0 : n);
  std::iota(rowAt.begin(), rowAt.end(), 0);
  const auto step = [&](qsizetype index) {
    const int name = groups.nameOf[index];
    const qsizetype entry = groups.members[groups.start[name] + wrapped[name] % groups.Count(name)];
    const qsizetype slot = slotOf[entry];
    const qsizetype place = (slot - first + n) % n;
    if (Up && place == 0) {
      first = (first + 1) % n;
      ++wrapped[name];
    } else if (!Up && place == n - 1) {
      first = slot;
    } else {
      const qsizetype other = (slot + (Up ? n - 1 : 1)) % n;
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
  QStringList moved;
  moved.reserve(n);
  for (qsizetype place = 0; place < n; ++place)
    moved.append(entries_.at(entryAt[(first + place) % n]));
  entries_ = std::move(moved);
  std::vector<int> positionOf(rowAt.size());
  for (qsizetype slot = 0; slot < static_cast<qsizetype>(rowAt.size()); ++slot)
    positionOf[rowAt[slot]] = static_cast<int>((slot - first + n) % n) + 1;
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
