// Renders the program's SVG icon as PNG files in the icon theme's layout:
//   pellora_render_icon ICON.svg FOLDER NAME SIZE...  writes FOLDER/<SIZE>x<SIZE>/apps/NAME.png
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv); // finds the SVG image plugin
  const QStringList args = app.arguments();
  if (args.size() < 5) {
    std::fprintf(stderr, "Usage: pellora_render_icon ICON.svg FOLDER NAME SIZE...\n");
    return 2;
  }
  for (const QString& sizeText : args.mid(4)) {
    const int size = sizeText.toInt();
    QImageReader reader(args[1]);
    reader.setScaledSize(QSize(size, size));
    const QImage image = reader.read();
    const QString folder = QString("%1/%2x%2/apps").arg(args[2]).arg(size);
    const QString file = folder + "/" + args[3] + ".png";
    if (image.isNull() || !QDir().mkpath(folder) || !image.save(file, "PNG")) {
      std::fprintf(stderr, "Cannot render %s at %d pixels: %s\n", qPrintable(args[1]), size,
                   qPrintable(reader.errorString()));
      return 1;
    }
  }
  return 0;
}
