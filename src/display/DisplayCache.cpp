#include "display/DisplayCache.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QMutex>
#include <QThreadPool>

struct DisplayCache::Job {
  BoxRequest request;
  std::atomic<bool> cancelled{false};
};

// Where a finished decode hands its content back to the window's thread:
// the cache is cleared under the lock when it goes, so that no decode ever
// posts to a cache that no longer exists.
struct DisplayCache::Mailbox {
  QMutex mutex;
  DisplayCache* cache = nullptr;
};

namespace {

// One decode at a time for the whole program, so that decoding never holds
// more than one picture's cost (picture/DecodeCost.h). The application
// waits for it as it ends, before Qt's plugins go: by then the decode has
// been cancelled and stops at its next read.
QThreadPool& DecodeThread() {
  static QThreadPool* pool = [] {
    auto* created = new QThreadPool;
    created->setMaxThreadCount(1);
    qAddPostRoutine([] {
      DecodeThread().waitForDone();
      delete &DecodeThread();
    });
    return created;
  }();
  return *pool;
}

}  // namespace

DisplayCache::DisplayCache(QObject* parent)
    : QObject(parent), mailbox_(std::make_shared<Mailbox>()) {
  mailbox_->cache = this;
}

DisplayCache::~DisplayCache() {
  QMutexLocker lock(&mailbox_->mutex);
  mailbox_->cache = nullptr;
  if (running_) running_->cancelled = true;
}

const BoxContent* DisplayCache::Find(const BoxRequest& request) {
  if (keptFor_ == request) return &kept_;
  wanted_ = request;
  if (!running_) {
    Start(request);
  } else if (!(running_->request == request)) {
    running_->cancelled = true;
  }
  return nullptr;
}

void DisplayCache::Start(const BoxRequest& request) {
  running_ = std::make_shared<Job>();
  running_->request = request;
  DecodeThread().start([job = running_, mailbox = mailbox_] {
    const BoxContent content = MakeBoxContent(job->request, job->cancelled);
    QMutexLocker lock(&mailbox->mutex);
    if (mailbox->cache == nullptr) return;
    DisplayCache* cache = mailbox->cache;
    QMetaObject::invokeMethod(
        cache, [cache, job, content] { cache->Finished(job, content); }, Qt::QueuedConnection);
  });
}

void DisplayCache::Finished(const std::shared_ptr<Job>& job, const BoxContent& content) {
  running_.reset();
  if (!job->cancelled && wanted_ == job->request) {
    keptFor_ = job->request;
    kept_ = content;
    emit Ready();
  } else if (wanted_ && !(keptFor_ == wanted_)) {
    Start(*wanted_);
  }
}
