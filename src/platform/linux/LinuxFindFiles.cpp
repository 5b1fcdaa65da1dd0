#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>

#include "platform/Platform.h"

namespace {

// The folder the names are looked up in, kept open while names of it follow
// each other.
class OpenFolder {
 public:
  OpenFolder() = default;
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  ~OpenFolder() {
    if (descriptor_ >= 0) close(descriptor_);
  }

  // The folder's descriptor, opened unless it is open already; -1 when it
  // cannot be opened. An empty folder is the root.
  int Descriptor(QByteArrayView folder) {
    if (opened_ && folder == folder_) return descriptor_;
    if (descriptor_ >= 0) close(descriptor_);
    folder_ = folder.toByteArray();
    opened_ = true;
    descriptor_ =
        open(folder_.isEmpty() ? "/" : folder_.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return descriptor_;
  }

 private:
  QByteArray folder_;
  bool opened_ = false;
  int descriptor_ = -1;
};

// Whether the name, relative to the folder, is a regular file or a link to
// one.
bool IsFile(int folder, const char* name) {
  struct stat status {};
  return fstatat(folder, name, &status, 0) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

// A lookup along a whole path costs the kernel a step per folder on the way;
// in a folder already open it costs one.
void FindFiles(std::span<const QString> names, std::span<char> found) {
  OpenFolder folder;
  for (size_t i = 0; i < names.size(); ++i) {
    const QByteArray path = QFile::encodeName(names[i]);
    if (path.isEmpty() || path.contains('\0')) {
      found[i] = false;
      continue;
    }
    const qsizetype slash = path.lastIndexOf('/');
    const int descriptor = slash < 0 ? -1 : folder.Descriptor(QByteArrayView(path).first(slash));
    // A folder that cannot be opened leaves the lookup to the whole path.
    found[i] = descriptor < 0 ? IsFile(AT_FDCWD, path.constData())
                              : IsFile(descriptor, path.constData() + slash + 1);
  }
}
