#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "imagelist/ZVRImageList.h"

// The window's loading of the stored list: read, split into names and the
// names' files looked up on another thread, so that the window shows at
// once. The names found are appended to the shared image list on the
// thread that started the loading, a run at a time and in stored order, as
// the runs come; Appended announces each. Finish makes the shared list at
// once what LoadImageListSetting would have made it.
class ListLoading : public QObject {
  Q_OBJECT

 public:
  // Begins with the stored list's items as forEachItem gives them (called
  // on the other thread); the loading object lives on the calling thread,
  // which must run an event loop for the runs to arrive.
  explicit ListLoading(ZVRImageList::StoredItems forEachItem);
  // Stops the other thread; what has not arrived is dropped.
  ~ListLoading() override;

  // Waits for the other thread and appends every run not yet appended.
  void Finish();
  bool Finished() const { return finished_; }

 signals:
  // The run from the 0-based position first, count entries, was appended.
  void Appended(int first, int count);
  // Every run has arrived.
  void Done();

 private:
  void Run(const std::stop_token& stop, const ZVRImageList::StoredItems& forEachItem);
  // Hands a run to the window's thread; failure, when set, is raised there.
  void Deliver(ZVRImageList found, bool last, std::exception_ptr failure = nullptr);
  // Appends what has arrived; a failure of the other thread is raised here.
  void TakeArrived();

  std::mutex mutex_;
  std::vector<ZVRImageList> arrived_;  // guarded by mutex_
  bool lastArrived_ = false;           // guarded by mutex_
  std::exception_ptr failure_;         // guarded by mutex_
  bool finished_ = false;
  std::jthread worker_;
};
