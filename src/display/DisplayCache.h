#pragma once

#include <QImage>
#include <QObject>
#include <QRectF>
#include <QSize>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

#include "picture/FileStamp.h"

// What the display box shows for one entry: nothing, one line of text (the
// error line, or the text of the modes without a drawing), or the picture
// decoded at the size shown and the rectangle it is drawn into (the box's
// inner area coordinates).
struct BoxContent {
  enum class Kind { kNothing, kText, kPicture };
  Kind kind = Kind::kNothing;
  QString text;
  QImage picture;
  QRectF target;
  // Why the file cannot be shown, naming it, for the box's tooltip; empty
  // unless the text is the error line.
  QString cause;
};

// Everything the content depends on: the file (its name and its state on
// disk, so that a changed or replaced file is decoded anew) and what the
// box asks of it.
struct BoxRequest {
  QString fileName;
  FileStamp stamp;
  int viewMode = -1;
  QSize boxSize;    // outer size, frame included, in pixels
  QSize innerSize;  // the drawing area
  double dpiX = 96;
  double dpiY = 96;
  bool operator==(const BoxRequest&) const = default;
};

// Loads, places and decodes: the whole work behind one content, on any
// thread. Returns nothing useful once cancelled is set (reads then fail).
BoxContent MakeBoxContent(const BoxRequest& request, const std::atomic<bool>& cancelled);

// The display box's content, kept for the request it answers and worked out
// off the window's thread, one decode at a time: the window's thread only
// reads the file's stamp, so no picture can freeze it, and a repaint of an
// unchanged file and box decodes nothing.
class DisplayCache : public QObject {
  Q_OBJECT

 public:
  explicit DisplayCache(QObject* parent = nullptr);
  // Cancels the decode in progress without waiting for it.
  ~DisplayCache() override;

  // The content for the request when it is ready; otherwise null, the work
  // is started (a decode for an earlier request is cancelled) and Ready()
  // follows once it is done.
  const BoxContent* Find(const BoxRequest& request);
  // Whether a decode is under way or waiting.
  bool Busy() const { return running_ != nullptr; }

 signals:
  void Ready();

 private:
  struct Job;
  struct Mailbox;
  void Start(const BoxRequest& request);
  void Finished(const std::shared_ptr<Job>& job, const BoxContent& content);

  std::optional<BoxRequest> keptFor_;
  BoxContent kept_;
  std::optional<BoxRequest> wanted_;
  std::shared_ptr<Job> running_;
  std::shared_ptr<Mailbox> mailbox_;
};
