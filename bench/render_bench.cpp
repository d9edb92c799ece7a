// PDF of a mailbox file's messages, driving the renderer directly as an export would: every
// message parsed and rendered with one web engine, joined into one PDF with a bookmark each;
// beside it the .eml export of the same rows, for the cost per message. Prints "key value"
// lines for bench/run-render.sh.
#include "export/message_export.h"
#include "mime/mail_message.h"
#include "render/message_html.h"
#include "render/message_pdf.h"
#include "render/pdf_pages.h"

#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace pellora;
using TClock = std::chrono::steady_clock;

static double Seconds(TClock::time_point from) {
  return std::chrono::duration<double>(TClock::now() - from).count();
}

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_render MAILBOX OUT_FOLDER [MESSAGES]\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TMessageHtml::PrepareApplication();
  QGuiApplication app(argc, argv);
  const std::string out = argv[2];
  std::filesystem::create_directories(out + "/eml");

  TMailbox box;
  if (!box.Load(argv[1], okMailboxFile).Loaded) return 1;
  std::vector<uint32_t> rows = box.Order();
  if (argc > 3) rows.resize(std::min<size_t>(rows.size(), std::stoul(argv[3])));

  auto t0 = TClock::now();
  TExportResult eml = ExportMessages(box, rows, efEml, out + "/eml");
  const double emlSeconds = Seconds(t0);

  t0 = TClock::now();
  TMessagePdfRenderer renderer;
  TPdfBook book;
  int html = 0, skipped = 0;
  double renderSeconds = 0, htmlSeconds = 0, plainSeconds = 0;
  for (uint32_t row : rows) {
    try {
      TMailMessage message;
      message.ReadFromText(box.GetEntryText(box.Entries()[row]));
      message.FindBodies();
      const bool isHtml = message.HtmlPart() != nullptr;
      auto r0 = TClock::now();
      std::string pdf = renderer.Render(message);
      const double took = Seconds(r0);
      renderSeconds += took;
      (isHtml ? htmlSeconds : plainSeconds) += took;
      if (isHtml) ++html;
      book.Add(pdf, MessageBookmark(message));
    } catch (const std::exception& e) {
      ++skipped;
      std::fprintf(stderr, "row %u: %s\n", row, e.what());
    }
  }
  const double allSeconds = Seconds(t0);
  auto w0 = TClock::now();
  const std::string target = out + "/all.pdf";
  book.Save(target, "Messages");
  const double writeSeconds = Seconds(w0);
  const double total = allSeconds + writeSeconds;
  const size_t n = rows.size();
  std::printf("messages %zu\nhtml_messages %d\nskipped %d\npages %d\npdf_bytes %llu\n"
              "render_s %.3f\njoin_and_write_s %.3f\npdf_total_s %.3f\npages_per_s %.1f\n"
              "pdf_ms_per_message %.2f\neml_messages %u\neml_s %.3f\neml_ms_per_message %.3f\n"
              "pdf_to_eml_cost %.0f\nhtml_render_ms_per_message %.1f\nplain_render_ms_per_message %.1f\n",
              n, html, skipped, book.Pages(),
              static_cast<unsigned long long>(std::filesystem::file_size(target)), renderSeconds,
              allSeconds - renderSeconds + writeSeconds, total, book.Pages() / total,
              1000 * total / n, eml.Messages, emlSeconds, 1000 * emlSeconds / n,
              total / std::max(emlSeconds, 1e-9), 1000 * htmlSeconds / std::max(html, 1),
              1000 * plainSeconds / std::max<double>(n - skipped - html, 1));
  return 0;
}
