#include "platform/linux/wallpaper/GSettingsWallpaper.h"

#include <QFileInfo>
#include <QUrl>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#pragma pop_macro("signals")

#include <memory>
#include <vector>

#include "platform/linux/wallpaper/LinuxWallpaper.h"

namespace {

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
struct SchemaUnref {
  void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
struct KeyUnref {
  void operator()(GSettingsSchemaKey* key) const { g_settings_schema_key_unref(key); }
};
using SchemaPtr = std::unique_ptr<GSettingsSchema, SchemaUnref>;

QString FromUtf8(const char* text) { return QString::fromUtf8(text); }

// The text to store: a file URI with every reserved character encoded
// ("#" and "%" included), or the plain absolute path.
QByteArray StoredValue(const QString& file, bool asUri) {
  const QString absolute = QFileInfo(file).absoluteFilePath();
  return asUri ? QUrl::fromLocalFile(absolute).toEncoded() : absolute.toUtf8();
}

SchemaPtr LookUpSchema(const char* id) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  if (source == nullptr) return nullptr;
  return SchemaPtr(g_settings_schema_source_lookup(source, id, TRUE));
}

// A string key of the schema; GLib would only warn and ignore a write of the
// wrong type.
bool HasStringKey(GSettingsSchema* schema, const char* key) {
  if (!g_settings_schema_has_key(schema, key)) return false;
  std::unique_ptr<GSettingsSchemaKey, KeyUnref> schemaKey(g_settings_schema_get_key(schema, key));
  return g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey.get()),
                              G_VARIANT_TYPE_STRING);
}

// GLib's stand-ins for a missing dconf keep values only inside this process,
// so the desktop would never see them.
bool KeepsValues(GSettingsBackend* backend) {
  const QByteArray type = G_OBJECT_TYPE_NAME(backend);
  return type != "GMemorySettingsBackend" && type != "GNullSettingsBackend";
}

using Keys = std::vector<const char*>;

QString Text(gchar* owned) {
  const QString text = QString::fromUtf8(owned);
  g_free(owned);
  return text;
}

// The desktop, as a refusal's cause names it: by its settings.
QString DesktopOf(const char* schemaId) {
  return QStringLiteral("GSettings ") + FromUtf8(schemaId);
}

// The schema, installed and with a fixed path; a desktop that cannot be
// reached otherwise.
SchemaPtr InstalledSchema(const char* id) {
  SchemaPtr schema = LookUpSchema(id);
  if (!schema) {
    RefuseWallpaper(
        DesktopUnreachable(DesktopOf(id), QStringLiteral("its settings schema is not installed")));
  }
  if (g_settings_schema_get_path(schema.get()) == nullptr) {
    RefuseWallpaper(
        DesktopUnreachable(DesktopOf(id), QStringLiteral("its settings schema has no path")));
  }
  return schema;
}

// The keys to write: the picture key, and the dark one where the schema has
// it; every one a text key.
Keys KeysToWrite(GSettingsSchema* schema, const GSettingsTarget& target) {
  Keys keys{target.key};
  if (target.darkKey != nullptr && g_settings_schema_has_key(schema, target.darkKey)) {
    keys.push_back(target.darkKey);
  }
  for (const char* key : keys) {
    if (!HasStringKey(schema, key)) {
      RefuseWallpaper(
          DesktopUnreachable(DesktopOf(target.schema),
                             QStringLiteral("its settings have no text key ") + FromUtf8(key)));
    }
  }
  return keys;
}

void RefuseUnlessWritable(GSettings* settings, const char* schemaId, const Keys& keys,
                          const QString& file) {
  for (const char* key : keys) {
    if (!g_settings_is_writable(settings, key)) {
      RefuseWallpaper(
          DesktopRefused(DesktopOf(schemaId), file, FromUtf8(key) + QStringLiteral(" is locked")));
    }
  }
}

// Writes every key in one change, so that the desktop never sees one key
// changed and the other not, and waits until the settings service has it.
void WriteTogether(GSettings* settings, const Keys& keys, const QList<QByteArray>& values) {
  g_settings_delay(settings);
  for (size_t i = 0; i < keys.size(); ++i) {
    g_settings_set_string(settings, keys[i], values[qsizetype(i)].constData());
  }
  g_settings_apply(settings);
  g_settings_sync();
}

// The key that does not hold its value, or null when all do.
const char* KeyNotHolding(GSettings* settings, const Keys& keys, const QList<QByteArray>& values) {
  for (size_t i = 0; i < keys.size(); ++i) {
    if (Text(g_settings_get_string(settings, keys[i])).toUtf8() != values[qsizetype(i)]) {
      return keys[i];
    }
  }
  return nullptr;
}

// All keys take the value, or none does: a key that did not keep it puts
// the old values of all back.
void WriteAllOrNothing(GSettings* settings, const char* schemaId, const Keys& keys,
                       const QByteArray& value, const QString& file) {
  QList<QByteArray> old;
  for (const char* key : keys) old.append(Text(g_settings_get_string(settings, key)).toUtf8());
  const QList<QByteArray> values(qsizetype(keys.size()), value);
  WriteTogether(settings, keys, values);
  const char* failed = KeyNotHolding(settings, keys, values);
  if (failed == nullptr) return;
  WriteTogether(settings, keys, old);
  RefuseWallpaper(DesktopRefused(
      DesktopOf(schemaId), file,
      FromUtf8(failed) + QStringLiteral(" did not keep the new value; the old values are back")));
}

}  // namespace

GSettingsTarget GnomeBackground() {
  return {"org.gnome.desktop.background", "picture-uri", "picture-uri-dark", true};
}

GSettingsTarget CinnamonBackground() {
  return {"org.cinnamon.desktop.background", "picture-uri", nullptr, true};
}

GSettingsTarget MateBackground() {
  return {"org.mate.background", "picture-filename", nullptr, false};
}

GSettingsWallpaper::GSettingsWallpaper(GSettingsTarget target) : target_(target) {}

void GSettingsWallpaper::Set(const QString& file) {
  SchemaPtr schema = InstalledSchema(target_.schema);
  const Keys keys = KeysToWrite(schema.get(), target_);
  GSettingsBackend* backend = g_settings_backend_get_default();
  std::unique_ptr<GSettingsBackend, GObjectUnref> backendRef(backend);
  if (!KeepsValues(backend)) {
    RefuseWallpaper(DesktopUnreachable(DesktopOf(target_.schema),
                                       QStringLiteral("its settings would not be kept (") +
                                           FromUtf8(G_OBJECT_TYPE_NAME(backend)) +
                                           QStringLiteral("): is dconf missing?")));
  }
  std::unique_ptr<GSettings, GObjectUnref> settings(
      g_settings_new_full(schema.get(), backend, nullptr));
  RefuseUnlessWritable(settings.get(), target_.schema, keys, file);
  WriteAllOrNothing(settings.get(), target_.schema, keys, StoredValue(file, target_.asUri), file);
}
