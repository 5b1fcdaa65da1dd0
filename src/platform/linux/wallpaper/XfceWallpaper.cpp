#include "platform/linux/wallpaper/XfceWallpaper.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QFileInfo>
#include <QRegularExpression>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#include "platform/linux/wallpaper/DBusCall.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"

namespace {

const QString kChannel = QStringLiteral("xfce4-desktop");

struct Disconnect {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

template <typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> Owned(Reply* reply) {
  return {reply, &std::free};
}

QDBusMessage XfconfCall(const QString& method) {
  return QDBusMessage::createMethodCall(QStringLiteral("org.xfce.Xfconf"),
                                        QStringLiteral("/org/xfce/Xfconf"),
                                        QStringLiteral("org.xfce.Xfconf"), method);
}

// The wallpaper properties the desktop already has. A channel that does not
// exist yet has none; xfconfd answers that with an error of its own.
bool ExistingImageProperties(QStringList* properties) {
  QDBusMessage call = XfconfCall(QStringLiteral("GetAllProperties"));
  call << kChannel << QStringLiteral("/backdrop");
  const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    if (reply.errorName().startsWith(QStringLiteral("org.xfce.Xfconf.Error."))) return true;
    TraceRefusal(QStringLiteral("XFCE: GetAllProperties failed: ") + reply.errorName() +
                 QLatin1Char(' ') + reply.errorMessage());
    return false;
  }
  static const QRegularExpression kImage(
      QStringLiteral("^/backdrop/screen[^/]+/monitor[^/]+/workspace[^/]+/last-image$"));
  const QVariantMap all = qdbus_cast<QVariantMap>(reply.arguments().value(0));
  for (auto it = all.cbegin(); it != all.cend(); ++it) {
    if (kImage.match(it.key()).hasMatch()) properties->append(it.key());
  }
  return true;
}

bool IsLocked(const QString& property) {
  QDBusMessage call = XfconfCall(QStringLiteral("IsPropertyLocked"));
  call << kChannel << property;
  QDBusMessage reply;
  if (!CallAccepted(QDBusConnection::sessionBus(), call, QStringLiteral("XFCE"), &reply)) {
    return true;
  }
  if (reply.arguments().value(0).toBool()) {
    TraceRefusal(QStringLiteral("XFCE: ") + property + QStringLiteral(" is locked"));
    return true;
  }
  return false;
}

// Sets the property as a string and reads it back.
bool SetAndReadBack(const QString& property, const QString& value) {
  QDBusMessage set = XfconfCall(QStringLiteral("SetProperty"));
  set << kChannel << property << QVariant::fromValue(QDBusVariant(value));
  if (!CallAccepted(QDBusConnection::sessionBus(), set, QStringLiteral("XFCE"))) return false;
  QDBusMessage get = XfconfCall(QStringLiteral("GetProperty"));
  get << kChannel << property;
  QDBusMessage reply;
  if (!CallAccepted(QDBusConnection::sessionBus(), get, QStringLiteral("XFCE"), &reply)) {
    return false;
  }
  if (qdbus_cast<QDBusVariant>(reply.arguments().value(0)).variant().toString() != value) {
    TraceRefusal(QStringLiteral("XFCE: ") + property + QStringLiteral(" did not keep the file"));
    return false;
  }
  return true;
}

}  // namespace

QStringList ConnectedOutputNames() {
  int screenNumber = 0;
  std::unique_ptr<xcb_connection_t, Disconnect> connection(xcb_connect(nullptr, &screenNumber));
  if (xcb_connection_has_error(connection.get())) return {};
  xcb_connection_t* c = connection.get();
  auto screens = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (; screenNumber > 0 && screens.rem > 0; --screenNumber) xcb_screen_next(&screens);
  if (screens.rem == 0) return {};
  auto resources = Owned(xcb_randr_get_screen_resources_current_reply(
      c, xcb_randr_get_screen_resources_current(c, screens.data->root), nullptr));
  if (!resources) return {};
  QStringList names;
  const xcb_randr_output_t* outputs =
      xcb_randr_get_screen_resources_current_outputs(resources.get());
  const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
  for (int i = 0; i < count; ++i) {
    auto info = Owned(xcb_randr_get_output_info_reply(
        c, xcb_randr_get_output_info(c, outputs[i], resources->config_timestamp), nullptr));
    if (!info || info->connection != XCB_RANDR_CONNECTION_CONNECTED || info->crtc == XCB_NONE) {
      continue;
    }
    names.append(
        QString::fromUtf8(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.get())),
                          xcb_randr_get_output_info_name_length(info.get())));
  }
  return names;
}

bool XfceWallpaper::Set(const QString& file) {
  QStringList properties;
  if (!ExistingImageProperties(&properties)) return false;
  if (properties.isEmpty()) {
    for (const QString& output : ConnectedOutputNames()) {
      properties.append(QStringLiteral("/backdrop/screen0/monitor") + output +
                        QStringLiteral("/workspace0/last-image"));
    }
  }
  if (properties.isEmpty()) {
    TraceRefusal(QStringLiteral("XFCE: no wallpaper property and no display output to add one"));
    return false;
  }
  for (const QString& property : properties) {
    if (IsLocked(property)) return false;
  }
  const QString value = QFileInfo(file).absoluteFilePath();
  for (const QString& property : properties) {
    if (!SetAndReadBack(property, value)) return false;
  }
  return true;
}
