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

bool WriteAndReadBack(GSettings* settings, const char* key, const QByteArray& value) {
  if (!g_settings_set_string(settings, key, value.constData())) return false;
  g_settings_sync();
  gchar* stored = g_settings_get_string(settings, key);
  const bool same = value == stored;
  g_free(stored);
  return same;
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

bool GSettingsWallpaper::Set(const QString& file) {
  if (!IsUsablePicture(file)) return false;
  const QString schemaId = FromUtf8(target_.schema);
  SchemaPtr schema = LookUpSchema(target_.schema);
  if (!schema) {
    TraceRefusal(QStringLiteral("settings schema ") + schemaId +
                 QStringLiteral(" is not installed"));
    return false;
  }
  if (g_settings_schema_get_path(schema.get()) == nullptr) {
    TraceRefusal(QStringLiteral("settings schema ") + schemaId + QStringLiteral(" has no path"));
    return false;
  }
  std::vector<const char*> keys{target_.key};
  if (target_.darkKey != nullptr && g_settings_schema_has_key(schema.get(), target_.darkKey)) {
    keys.push_back(target_.darkKey);
  }
  for (const char* key : keys) {
    if (!HasStringKey(schema.get(), key)) {
      TraceRefusal(QStringLiteral("settings schema ") + schemaId +
                   QStringLiteral(" has no text key ") + FromUtf8(key));
      return false;
    }
  }
  GSettingsBackend* backend = g_settings_backend_get_default();
  std::unique_ptr<GSettingsBackend, GObjectUnref> backendRef(backend);
  if (!KeepsValues(backend)) {
    TraceRefusal(QStringLiteral("settings would not be kept (") +
                 FromUtf8(G_OBJECT_TYPE_NAME(backend)) + QStringLiteral(", is dconf missing?)"));
    return false;
  }
  std::unique_ptr<GSettings, GObjectUnref> settings(
      g_settings_new_full(schema.get(), backend, nullptr));
  for (const char* key : keys) {
    if (!g_settings_is_writable(settings.get(), key)) {
      TraceRefusal(schemaId + QLatin1Char(' ') + FromUtf8(key) + QStringLiteral(" is locked"));
      return false;
    }
  }
  const QByteArray value = StoredValue(file, target_.asUri);
  for (const char* key : keys) {
    if (!WriteAndReadBack(settings.get(), key, value)) {
      TraceRefusal(schemaId + QLatin1Char(' ') + FromUtf8(key) +
                   QStringLiteral(" did not keep the new value"));
      return false;
    }
  }
  return true;
}
