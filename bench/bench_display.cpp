// Times one repaint of a 400 x 300 pixel display box showing a large JPEG,
// against references measured in the same run, and measures how close the
// scaled picture comes to a high-quality resize. Prints the figures; exits
// 1 when a figure misses its bound.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "display/DisplayBox.h"
#include "display/Picture.h"
#include "display/Placement.h"
#include "display/Rendering.h"

namespace {

constexpr int kRuns = 15;
constexpr int kProportional = 3;
constexpr int kOriginal = 0;

double MedianMs(const std::function<void()>& step) {
  step();  // warm-up: file cache, plugin loading
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) {
    QElapsedTimer timer;
    timer.start();
    step();
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

bool Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.start(program, arguments);
  return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
         process.exitCode() == 0;
}

double Psnr(const QImage& a, const QImage& b) {
  const QImage x = a.convertToFormat(QImage::Format_RGB32);
  const QImage y = b.convertToFormat(QImage::Format_RGB32);
  double sum = 0;
  for (int row = 0; row < x.height(); ++row) {
    const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
    const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
    for (int col = 0; col < x.width(); ++col) {
      const double dr = qRed(p[col]) - qRed(q[col]);
      const double dg = qGreen(p[col]) - qGreen(q[col]);
      const double db = qBlue(p[col]) - qBlue(q[col]);
      sum += dr * dr + dg * dg + db * db;
    }
  }
  const double mse = sum / (3.0 * x.width() * x.height());
  return 10 * std::log10(255.0 * 255.0 / mse);
}

bool Report(const char* what, double value, const char* unit, double bound, bool atMost) {
  const bool ok = atMost ? value <= bound : value >= bound;
  std::printf("%-52s %8.2f %s (%s %.2f) %s\n", what, value, unit, atMost ? "<=" : ">=", bound,
              ok ? "ok" : "MISSED");
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_display PICTURE.jpg\n");
    return 2;
  }
  const QString path = QString::fromLocal8Bit(argv[1]);
  DisplayBox box;
  box.resize(400, 300);
  // What a repaint of a picture not yet kept costs: the box's decoding
  // thread works the content out (MakeBoxContent), the paint draws it.
  const std::atomic<bool> notCancelled{false};
  const auto repaint = [&](int mode) {
    const BoxContent content = MakeBoxContent(RequestFor(box, path, mode), notCancelled);
    QImage drawn(box.InnerSize(), QImage::Format_RGB32);
    QPainter painter(&drawn);
    PaintBoxContent(painter, box, content);
  };
  const double proportional = MedianMs([&] { repaint(kProportional); });
  const double original = MedianMs([&] { repaint(kOriginal); });
  const QStringList djpegArgs = {"-scale", "1/8", "-outfile", QProcess::nullDevice(), path};
  const double djpeg = MedianMs([&] { Run(QStringLiteral("djpeg"), djpegArgs); });
  QImageReader::setAllocationLimit(1024);
  const double fullLoad = MedianMs([&] { QImage(path).isNull(); });

  // The scaled picture as drawn, against ImageMagick's Lanczos resize.
  const Picture picture = Picture::Load(path, box.logicalDpiX(), box.logicalDpiY());
  const PlacementDraw draw =
      ComputePlacement(kProportional, picture.HimetricWidth(), picture.HimetricHeight(),
                       box.width() * 1440.0f / box.logicalDpiX(),
                       box.height() * 1440.0f / box.logicalDpiY(), box.logicalDpiX(),
                       box.logicalDpiY())
          .draw;
  const QImage ours = picture.DecodeScaled(QSize(draw.cx, draw.cy));
  QTemporaryDir dir;
  const QString reference = dir.filePath(QStringLiteral("lanczos.png"));
  const QString geometry = QStringLiteral("%1x%2!").arg(draw.cx).arg(draw.cy);
  if (!Run(QStringLiteral("convert"),
           {path, "-filter", "Lanczos", "-resize", geometry, reference})) {
    std::fprintf(stderr, "convert failed\n");
    return 2;
  }
  const double psnr = Psnr(ours, QImage(reference));

  std::printf("picture %d x %d, box 400 x 300 px, medians of %d runs\n",
              picture.PixelSize().width(), picture.PixelSize().height(), kRuns);
  std::printf("%-52s %8.2f ms\n", "repaint, Proportionally Stretched", proportional);
  std::printf("%-52s %8.2f ms\n", "djpeg -scale 1/8, whole process", djpeg);
  std::printf("%-52s %8.2f ms\n", "repaint, Original", original);
  std::printf("%-52s %8.2f ms\n", "full QImage load", fullLoad);
  bool ok =
      Report("Proportionally Stretched / djpeg -scale 1/8", proportional / djpeg, "x", 1.2, true);
  ok = Report("Original / full QImage load", original / fullLoad, "x", 0.1, true) && ok;
  ok = Report("PSNR of the scaled picture against Lanczos", psnr, "dB", 45, false) && ok;
  return ok ? 0 : 1;
}
