#include "platform/linux/wallpaper/X11Wallpaper.h"

#include <QSysInfo>
#include <QtEndian>

#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <memory>
#include <vector>

#include "picture/PictureDecode.h"
#include "platform/linux/wallpaper/LinuxWallpaper.h"

namespace {

const QString kX11 = QStringLiteral("X11 root window");

// Converted pixels go to the server in bands of about this size, so that the
// converted copy never costs a second picture's worth of memory.
constexpr quint64 kConvertedBandBytes = 1 << 20;

struct Disconnect {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPtr<Reply> Owned(Reply* reply) {
  return ReplyPtr<Reply>(reply, &std::free);
}

// How the root window's pixels are laid out in an image sent to the server.
struct PixelLayout {
  int bitsPerPixel = 0;
  int scanlinePad = 0;
  quint32 redMask = 0;
  quint32 greenMask = 0;
  quint32 blueMask = 0;
  bool bigEndian = false;
};

xcb_screen_t* ScreenOf(xcb_connection_t* connection, int number) {
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (; it.rem > 0; --number, xcb_screen_next(&it)) {
    if (number == 0) return it.data;
  }
  return nullptr;
}

xcb_visualtype_t* VisualOf(xcb_screen_t* screen) {
  for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0;
       xcb_depth_next(&depths)) {
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
         xcb_visualtype_next(&visuals)) {
      if (visuals.data->visual_id == screen->root_visual) return visuals.data;
    }
  }
  return nullptr;
}

// The layout of the root window's depth; only true-colour visuals of 16 or 32
// bits a pixel (depths 15, 16, 24, 30 and 32) are drawn.
bool FindLayout(xcb_connection_t* connection, xcb_screen_t* screen, PixelLayout* layout) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0;
       xcb_format_next(&formats)) {
    if (formats.data->depth != screen->root_depth) continue;
    layout->bitsPerPixel = formats.data->bits_per_pixel;
    layout->scanlinePad = formats.data->scanline_pad;
  }
  const xcb_visualtype_t* visual = VisualOf(screen);
  if (visual == nullptr || visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR) return false;
  if (layout->bitsPerPixel != 16 && layout->bitsPerPixel != 32) return false;
  layout->redMask = visual->red_mask;
  layout->greenMask = visual->green_mask;
  layout->blueMask = visual->blue_mask;
  layout->bigEndian = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  return true;
}

// An 8-bit channel value placed into the bits of the mask.
quint32 Channel(quint32 value, quint32 mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const quint32 scaled = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
  return (scaled << shift) & mask;
}

int Stride(int width, const PixelLayout& layout) {
  const int bits = width * layout.bitsPerPixel;
  const int padded = (bits + layout.scanlinePad - 1) / layout.scanlinePad * layout.scanlinePad;
  return padded / 8;
}

// One row of the picture in the server's pixel format.
void PackRow(const QRgb* source, int width, const PixelLayout& layout, uchar* target) {
  for (int x = 0; x < width; ++x) {
    const QRgb rgb = source[x];
    const quint32 pixel = Channel(qRed(rgb), layout.redMask) |
                          Channel(qGreen(rgb), layout.greenMask) |
                          Channel(qBlue(rgb), layout.blueMask);
    if (layout.bitsPerPixel == 32) {
      layout.bigEndian ? qToBigEndian<quint32>(pixel, target + 4 * x)
                       : qToLittleEndian<quint32>(pixel, target + 4 * x);
    } else {
      layout.bigEndian ? qToBigEndian<quint16>(quint16(pixel), target + 2 * x)
                       : qToLittleEndian<quint16>(quint16(pixel), target + 2 * x);
    }
  }
}

// Whether the server takes the picture's own rows as they are: 32-bit
// pixels 0xXXRRGGBB in this machine's byte order.
bool TakesRowsAsTheyAre(const PixelLayout& layout) {
  return layout.bitsPerPixel == 32 && layout.redMask == 0xff0000 && layout.greenMask == 0xff00 &&
         layout.blueMask == 0xff &&
         layout.bigEndian == (QSysInfo::ByteOrder == QSysInfo::BigEndian);
}

// Sends the picture into the pixmap in bands that fit the server's request
// size limit, converting each band into the server's pixel format unless it
// takes the rows as they are. False when the server reported an error.
bool UploadPicture(xcb_connection_t* connection, xcb_pixmap_t pixmap, xcb_gcontext_t gc,
                   const QImage& picture, const PixelLayout& layout, uint8_t depth) {
  const bool direct = TakesRowsAsTheyAre(layout);
  const int stride = direct ? int(picture.bytesPerLine()) : Stride(picture.width(), layout);
  const quint64 maxBytes = quint64(xcb_get_maximum_request_length(connection)) * 4 - 64;
  const quint64 bandBytes = direct ? maxBytes : std::min<quint64>(maxBytes, kConvertedBandBytes);
  const int rowsPerBand =
      int(std::clamp<quint64>(bandBytes / stride, 1, quint64(picture.height())));
  std::vector<uchar> band(direct ? 0 : size_t(stride) * rowsPerBand);
  std::vector<xcb_void_cookie_t> cookies;
  for (int top = 0; top < picture.height(); top += rowsPerBand) {
    const int rows = std::min(rowsPerBand, picture.height() - top);
    const uchar* data = picture.constScanLine(top);
    if (!direct) {
      for (int row = 0; row < rows; ++row) {
        PackRow(reinterpret_cast<const QRgb*>(picture.constScanLine(top + row)), picture.width(),
                layout, band.data() + size_t(stride) * row);
      }
      data = band.data();
    }
    cookies.push_back(xcb_put_image_checked(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc,
                                            uint16_t(picture.width()), uint16_t(rows), 0,
                                            int16_t(top), 0, depth, uint32_t(stride) * rows, data));
  }
  bool ok = true;
  for (xcb_void_cookie_t cookie : cookies) {
    if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
      ok = false;
      std::free(error);
    }
  }
  return ok;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  auto reply = Owned(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name), nullptr));
  return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The pixmap named by a root window property, or none.
xcb_pixmap_t PixmapProperty(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t atom) {
  auto reply = Owned(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, root, atom, XCB_ATOM_PIXMAP, 0, 1), nullptr));
  if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4) {
    return XCB_NONE;
  }
  return *static_cast<const xcb_pixmap_t*>(xcb_get_property_value(reply.get()));
}

// Frees the pixmap a previous setter left behind, by ending the resources of
// the client that made it, as Esetroot and its followers do. Skipped when the
// property is stale and its id now falls into this connection's own range,
// which would end this very connection.
void FreePreviousPixmap(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t rootPmap,
                        xcb_atom_t esetrootPmap) {
  const xcb_pixmap_t previous = PixmapProperty(connection, root, esetrootPmap);
  if (previous == XCB_NONE || previous != PixmapProperty(connection, root, rootPmap)) return;
  const xcb_setup_t* setup = xcb_get_setup(connection);
  if ((previous & ~setup->resource_id_mask) == setup->resource_id_base) return;
  // A pixmap that is already gone gives an error that changes nothing.
  std::free(xcb_request_check(connection, xcb_kill_client_checked(connection, previous)));
}

// Makes the filled pixmap the root window's background and announces it.
void InstallPixmap(xcb_connection_t* connection, xcb_window_t root, xcb_pixmap_t pixmap) {
  const xcb_atom_t rootPmap = Atom(connection, "_XROOTPMAP_ID");
  const xcb_atom_t esetrootPmap = Atom(connection, "ESETROOT_PMAP_ID");
  xcb_grab_server(connection);
  FreePreviousPixmap(connection, root, rootPmap, esetrootPmap);
  for (xcb_atom_t atom : {rootPmap, esetrootPmap}) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, atom, XCB_ATOM_PIXMAP, 32, 1,
                        &pixmap);
  }
  xcb_change_window_attributes(connection, root, XCB_CW_BACK_PIXMAP, &pixmap);
  xcb_clear_area(connection, 0, root, 0, 0, 0, 0);
  xcb_set_close_down_mode(connection, XCB_CLOSE_DOWN_RETAIN_PERMANENT);
  xcb_ungrab_server(connection);
  // A round trip, so that everything has reached the server before the
  // connection closes.
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

// A pixmap of the screen's size holding the picture; none on a server error.
xcb_pixmap_t MakePixmap(xcb_connection_t* connection, xcb_screen_t* screen, const QImage& picture,
                        const PixelLayout& layout) {
  const xcb_pixmap_t pixmap = xcb_generate_id(connection);
  if (xcb_generic_error_t* error = xcb_request_check(
          connection,
          xcb_create_pixmap_checked(connection, screen->root_depth, pixmap, screen->root,
                                    uint16_t(picture.width()), uint16_t(picture.height())))) {
    std::free(error);
    return XCB_NONE;
  }
  const xcb_gcontext_t gc = xcb_generate_id(connection);
  xcb_create_gc(connection, gc, pixmap, 0, nullptr);
  const bool filled = UploadPicture(connection, pixmap, gc, picture, layout, screen->root_depth);
  xcb_free_gc(connection, gc);
  if (filled) return pixmap;
  xcb_free_pixmap(connection, pixmap);
  return XCB_NONE;
}

}  // namespace

void X11Wallpaper::Set(const QString& file) {
  int screenNumber = 0;
  Connection connection(xcb_connect(nullptr, &screenNumber));
  if (xcb_connection_has_error(connection.get())) {
    RefuseWallpaper(QStringLiteral("the X display \"%1\" (DISPLAY) cannot be opened; start the "
                                   "program inside the desktop session, or set "
                                   "ZVISTARO_WALLPAPER_COMMAND")
                        .arg(qEnvironmentVariable("DISPLAY")));
  }
  xcb_screen_t* screen = ScreenOf(connection.get(), screenNumber);
  PixelLayout layout;
  if (screen == nullptr || !FindLayout(connection.get(), screen, &layout)) {
    RefuseWallpaper(DesktopRefused(kX11, file,
                                   QStringLiteral("the root window's colour depth is not one "
                                                  "this program draws")));
  }
  const QImage picture =
      DecodeToCover(file, QSize(screen->width_in_pixels, screen->height_in_pixels));
  const xcb_pixmap_t pixmap = MakePixmap(connection.get(), screen, picture, layout);
  if (pixmap == XCB_NONE) {
    RefuseWallpaper(DesktopRefused(kX11, file, QStringLiteral("the X server could not hold it")));
  }
  InstallPixmap(connection.get(), screen->root, pixmap);
  if (xcb_connection_has_error(connection.get())) {
    RefuseWallpaper(DesktopRefused(
        kX11, file, QStringLiteral("the X connection broke while setting the picture")));
  }
}
