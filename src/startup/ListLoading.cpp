#include "startup/ListLoading.h"

#include <QMetaObject>

#include <algorithm>
#include <future>
#include <utility>

#include "startup/modMain.h"

namespace {

// The first run is small, so that the first names show at once; later runs
// grow, so that a million names cost the window a few dozen insertions
// rather than thousands.
constexpr qsizetype kFirstRun = 1024;
constexpr qsizetype kLargestRun = 1 << 17;

}  // namespace

ListLoading::ListLoading(ZVRImageList::StoredItems forEachItem)
    : worker_([this, forEachItem = std::move(forEachItem)](const std::stop_token& stop) {
        Run(stop, forEachItem);
      }) {}

ListLoading::~ListLoading() {
  worker_.request_stop();
  if (worker_.joinable()) worker_.join();
}

void ListLoading::Run(const std::stop_token& stop, const ZVRImageList::StoredItems& forEachItem) {
  qsizetype run = kFirstRun;
  QStringList names;
  // The run's files are looked up on other threads while the next run is
  // read; the names found are handed to the window's thread.
  std::future<ZVRImageList> lookingUp;
  const auto deliver = [this, &names, &lookingUp](bool last) {
    if (lookingUp.valid()) Deliver(lookingUp.get(), false);
    lookingUp = std::async(std::launch::async, [run = std::exchange(names, {})] {
      ZVRImageList found;
      found.Add(run);
      return found;
    });
    if (last) Deliver(lookingUp.get(), true);
  };
  try {
    names.reserve(run);
    forEachItem([&](QStringView item) {
      if (stop.stop_requested()) return false;
      names.append(item.toString());
      if (names.size() < run) return true;
      deliver(false);
      run = std::min(run * 4, kLargestRun);
      names.reserve(run);
      return true;
    });
    if (!stop.stop_requested()) deliver(true);
  } catch (...) {
    Deliver(ZVRImageList(), true, std::current_exception());
  }
}

void ListLoading::Deliver(ZVRImageList found, bool last, std::exception_ptr failure) {
  {
    const std::lock_guard lock(mutex_);
    arrived_.push_back(std::move(found));
    lastArrived_ = last;
    failure_ = std::move(failure);
  }
  QMetaObject::invokeMethod(this, &ListLoading::TakeArrived, Qt::QueuedConnection);
}

void ListLoading::TakeArrived() {
  if (finished_) return;
  std::vector<ZVRImageList> runs;
  bool last = false;
  std::exception_ptr failure;
  {
    const std::lock_guard lock(mutex_);
    runs.swap(arrived_);
    last = lastArrived_;
    failure = failure_;
  }
  const auto list = modMain::SharedImageList();
  for (ZVRImageList& found : runs) {
    const int first = list->Count();
    list->Append(std::move(found));
    if (list->Count() > first) emit Appended(first, list->Count() - first);
  }
  if (!last) return;
  finished_ = true;
  if (failure) std::rethrow_exception(failure);
  emit Done();
}

void ListLoading::Finish() {
  if (finished_) return;
  if (worker_.joinable()) worker_.join();
  TakeArrived();
}
