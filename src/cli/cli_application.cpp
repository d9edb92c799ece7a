// The application object of pellora-cli: Qt Core for the user's locale, or, for an export that
// renders PDFs, Qt GUI with the web engine, on the offscreen platform when no display is there.
#include "cli/cli.h"

#include "platform/pellora_error.h"

#include <QCoreApplication>
#ifdef PELLORA_CLI_PDF
#include "render/message_html.h"
#include "render/message_pdf.h"

#include <QGuiApplication>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace pellora::cli {
namespace {

// Whether the command line (the command first) asks for PDFs.
[[maybe_unused]] bool RendersPdf(const TArgs& args) {
  return !args.empty() && args[0] == "export" &&
         std::any_of(args.begin() + 1, args.end(),
                     [](const std::string& arg) { return arg == "--pdf" || arg == "--pdf-one"; });
}

} // namespace

std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv, const TArgs& args) {
#ifdef PELLORA_CLI_PDF
  if (RendersPdf(args)) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland)) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TMessageHtml::PrepareApplication();
    // The web engine reports its set-up and the graphics it lacks offscreen; stderr is for the
    // messages skipped and the failures, which this program says itself.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
      if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    return std::make_unique<QGuiApplication>(argc, argv);
  }
#endif
  return std::make_unique<QCoreApplication>(argc, argv);
}

std::unique_ptr<TPdfMaker> MakePdfMaker(const std::string& title) {
#ifdef PELLORA_CLI_PDF
  return std::make_unique<TExportPdfMaker>(title);
#else
  throw EPelloraError("This pellora-cli was built without the viewer: it makes no PDF files.");
#endif
}

} // namespace pellora::cli
