#pragma once

#include <QImageIOPlugin>

// The program's own picture readers, for the formats Qt has none for: HEIF
// (HEIC photos of phones) and AVIF through libheif, JPEG XL through libjxl.
// Built into the program as a static Qt plugin, so that every QImageReader
// of the program finds them as it finds Qt's own.
class PictureFormatsPlugin : public QImageIOPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "PictureFormatsPlugin.json")

 public:
  Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
  QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override;
};
