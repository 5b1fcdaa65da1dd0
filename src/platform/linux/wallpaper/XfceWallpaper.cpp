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

const QString kXfce = QStringLiteral("XFCE");

// The wallpaper properties the desktop already has. A channel that does not
// exist yet has none; xfconfd answers that with an error of its own.
QStringList ExistingImageProperties(const QString& file) {
  QDBusMessage call = XfconfCall(QStringLiteral("GetAllProperties"));
  call << kChannel << QStringLiteral("/backdrop");
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) CallDesktop(bus, call, kXfce, file);
  const QDBusMessage reply = bus.call(call, QDBus::Block);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    if (reply.errorName().startsWith(QStringLiteral("org.xfce.Xfconf.Error."))) return {};
    RefuseForAnswer(call, reply, kXfce, file);
  }
  static const QRegularExpression kImage(
      QStringLiteral("^/backdrop/screen[^/]+/monitor[^/]+/workspace[^/]+/last-image$"));
  QStringList properties;
  const QVariantMap all = qdbus_cast<QVariantMap>(reply.arguments().value(0));
  for (auto it = all.cbegin(); it != all.cend(); ++it) {
    if (kImage.match(it.key()).hasMatch()) properties.append(it.key());
  }
  return properties;
}

void RefuseIfLocked(const QString& property, const QString& file) {
  QDBusMessage call = XfconfCall(QStringLiteral("IsPropertyLocked"));
  call << kChannel << property;
  const QDBusMessage reply = CallDesktop(QDBusConnection::sessionBus(), call, kXfce, file);
  if (reply.arguments().value(0).toBool()) {
    RefuseWallpaper(DesktopRefused(kXfce, file, property + QStringLiteral(" is locked")));
  }
}

// Sets the property as a string and reads it back.
void SetAndReadBack(const QString& property, const QString& value, const QString& file) {
  QDBusMessage set = XfconfCall(QStringLiteral("SetProperty"));
  set << kChannel << property << QVariant::fromValue(QDBusVariant(value));
  CallDesktop(QDBusConnection::sessionBus(), set, kXfce, file);
  QDBusMessage get = XfconfCall(QStringLiteral("GetProperty"));
  get << kChannel << property;
  const QDBusMessage reply = CallDesktop(QDBusConnection::sessionBus(), get, kXfce, file);
  if (qdbus_cast<QDBusVariant>(reply.arguments().value(0)).variant().toString() != value) {
    RefuseWallpaper(DesktopRefused(kXfce, file, property + QStringLiteral(" did not keep it")));
  }
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

void XfceWallpaper::Set(const QString& file) {
  QStringList properties = ExistingImageProperties(file);
  if (properties.isEmpty()) {
    for (const QString& output : ConnectedOutputNames()) {
      properties.append(QStringLiteral("/backdrop/screen0/monitor") + output +
                        QStringLiteral("/workspace0/last-image"));
    }
  }
  if (properties.isEmpty()) {
    RefuseWallpaper(DesktopRefused(
        kXfce, file,
        QStringLiteral("it has no wallpaper property yet and the X display names no output to "
                       "add one for")));
  }
  for (const QString& property : properties) RefuseIfLocked(property, file);
  const QString value = QFileInfo(file).absoluteFilePath();
  for (const QString& property : properties) SetAndReadBack(property, value, file);
}
