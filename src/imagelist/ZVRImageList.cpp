#include "imagelist/ZVRImageList.h"

#include "errors/Errors.h"
#include "kit/KitGlobal.h"

namespace {

const QString kClassName = QStringLiteral("ZVRImageList");

[[noreturn]] void RaiseInvalidParameter() {
  modMain::RaiseError(modMain::kErrInvalidParameter, kClassName);
}

}  // namespace

ZVRImageList::ZVRImageList() = default;

void ZVRImageList::Add(const QString& FileName) {
  if (KitGlobal().FileExists(FileName)) entries_.append(FileName);
}

void ZVRImageList::Clear() { entries_.clear(); }

int ZVRImageList::Count() const { return static_cast<int>(entries_.size()); }

QString ZVRImageList::FileName(int Index) const {
  if (Index < 1 || Index > Count()) modMain::RaiseSubscriptOutOfRange();
  return entries_.at(Index - 1);
}

std::unique_ptr<StringList> ZVRImageList::FileNames() const {
  auto list = std::make_unique<StringList>();
  list->SetSeparator(QStringLiteral("; "));
  list->SetQuoteBegin(QStringLiteral("\""));
  list->SetQuoteEnd(QStringLiteral("\""));
  for (const QString& entry : entries_) list->Add(entry, -1);
  return list;
}

void ZVRImageList::FileNames(const StringList* NewValue) {
  Clear();
  if (NewValue == nullptr) return;
  const int count = NewValue->Count();
  for (int i = 1; i <= count; ++i) Add(NewValue->Item(i));
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

int ZVRImageList::IndexOf(const QString& FileName) const {
  const qsizetype index = entries_.indexOf(FileName);
  return index < 0 ? 0 : static_cast<int>(index) + 1;
}
