// Messages as PDF: the header block, the text as text in every script, pages and bookmarks, read
// back with poppler's tools.
#include "mime/mail_message.h"
#include "platform/codepage.h"
#include "render/message_html.h"
#include "render/message_pdf.h"
#include "render/pdf_pages.h"
#include "support/poppler.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

#include <QGuiApplication>
#include <QFontMetricsF>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <fstream>

using namespace pellora;
using pellora::test::PopplerOutline;
using pellora::test::PopplerPages;
using pellora::test::PopplerText;
using pellora::test::RunCommand;
using pellora::test::ShellQuote;
using pellora::test::TTempDir;

namespace {

const char* const scripts = "Latin Привет Καλημέρα 日本語のテキスト";

std::string Crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string Headers(const std::string& subject, const std::string& type) {
  return "From: \"Doe, John\" <john@example.com>\n"
         "To: Bob <bob@example.org>, carol@example.org\n"
         "Subject: " + subject + "\n"
         "Date: Tue, 14 Mar 2023 09:14:58 +0100\n"
         "MIME-Version: 1.0\n"
         "Content-Type: " + type + "\n";
}

std::string PlainMessage(const std::string& subject, const std::string& body) {
  return Crlf(Headers(subject, "text/plain; charset=utf-8") + "\n" + body);
}

std::string HtmlMessage(const std::string& subject, const std::string& html) {
  return Crlf(Headers(subject, "text/html; charset=utf-8") + "\n" + html);
}

struct TParsed {
  TMailMessage message;
  explicit TParsed(const std::string& text) {
    message.ReadFromText(text);
    message.FindBodies();
  }
};

// A PDF written to a file for the command-line tools.
std::string Keep(const TTempDir& dir, const std::string& name, const std::string& pdf) {
  return dir.Write(name, pdf);
}

QString PdfText(const std::string& path, const char* options = "-layout") {
  return QString::fromStdString(PopplerText(path, options));
}

int PdfPages(const std::string& path) { return PopplerPages(path); }

QStringList Outline(const std::string& path) {
  QStringList items;
  for (const std::string& item : PopplerOutline(path)) items << QString::fromStdString(item);
  return items;
}

// The top of a word on the first page (pdftotext -bbox), in points; -1 when it is not there.
double WordTop(const std::string& path, const QString& word) {
  const QString xml = QString::fromStdString(
      RunCommand("pdftotext -bbox -f 1 -l 1 " + ShellQuote(path) + " -").out);
  QRegularExpressionMatch m =
      QRegularExpression("yMin=\"([0-9.]+)\"[^>]*>" + QRegularExpression::escape(word) + "<").match(xml);
  return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

// A loopback server that answers every request with a small picture and counts the requests.
class TImageServer : public QTcpServer {
public:
  int requests = 0;
  TImageServer() {
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          socket->readAll();
          ++requests;
          QImage picture(40, 40, QImage::Format_RGB32);
          picture.fill(Qt::darkGreen);
          QByteArray png;
          QBuffer buffer(&png);
          picture.save(&buffer, "PNG");
          socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                        QByteArray::number(png.size()) + "\r\nConnection: close\r\n\r\n" + png);
          socket->disconnectFromHost();
        });
      }
    });
    listen(QHostAddress::LocalHost);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(serverPort()) + "/logo.png"; }
};

// The pictures in a PDF, "width x height" each, as pdfimages lists them.
QStringList Images(const std::string& path) {
  QStringList sizes;
  const QStringList lines = QString::fromStdString(RunCommand("pdfimages -list " + ShellQuote(path)).out)
                                .split('\n', Qt::SkipEmptyParts)
                                .mid(2);
  for (const QString& line : lines) {
    const QStringList columns = line.split(' ', Qt::SkipEmptyParts);
    if (columns.size() > 4 && columns[2] == "image") sizes << columns[3] + "x" + columns[4];
  }
  return sizes;
}

// A text of about 10 KB: many lines of ordinary words.
std::string TenKilobytesOfText() {
  std::string text;
  for (int i = 0; text.size() < 10000; ++i)
    text += "Line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog again.\n";
  return text;
}

} // namespace

class RenderTest : public QObject {
  Q_OBJECT
private slots:
  void HeaderBlockRowsInOrder() {
    TParsed withAll(Crlf(
        "From: \"Doe, John\" <john@example.com>\nTo: Bob <bob@example.org>, carol@example.org\n"
        "Cc: =?UTF-8?Q?Zo=C3=AB?= <zoe@example.org>\nSubject: Quarterly figures\n"
        "Date: Tue, 14 Mar 2023 09:14:58 +0100\nMIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\n\n--b1\nContent-Type: text/plain\n\nHello\n"
        "--b1\nContent-Type: application/pdf; name=\"figures.pdf\"\nContent-Transfer-Encoding: base64\n"
        "Content-Disposition: attachment; filename=\"figures.pdf\"\n\nJVBERi0xLjQK\n"
        "--b1\nContent-Type: text/csv; name=\"q1.csv\"\n\na,b\n--b1--\n"));
    THeaderBlock block = MessageHeaderBlock(withAll.message);
    QCOMPARE(block.Subject, QString("Quarterly figures"));
    QStringList labels, values;
    for (const THeaderRow& row : block.Rows) labels << row.Label, values << row.Value;
    QCOMPARE(labels, QStringList({"From", "To", "CC", "Date", "Attachments"}));
    QCOMPARE(values[0], QString("Doe, John <john@example.com>"));
    QCOMPARE(values[1], QString("Bob <bob@example.org>, carol@example.org"));
    QCOMPARE(values[2], QString::fromUtf8("Zoë <zoe@example.org>"));
    QCOMPARE(values[3], QString("Tuesday, March 14, 2023 9:14:58 AM")); // Prague time, long form
    QCOMPARE(values[4], QString("figures.pdf (9 B)\nq1.csv (3 B)"));

    // Rows without a value go; a message without From shows its Reply-To.
    TParsed sparse(Crlf("Reply-To: List <list@example.org>\nSubject: Hi\n\nText\n"));
    block = MessageHeaderBlock(sparse.message);
    QCOMPARE(block.Rows.size(), size_t(1));
    QCOMPARE(block.Rows[0].Value, QString("List <list@example.org>"));
  }

  void PlainTextWrapping() {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    TPageFrame frame(&writer, DefaultPageLayout());
    const int columns = static_cast<int>(
        frame.Body().width() /
        (QFontMetricsF(frame.TextFont(), &writer).horizontalAdvance(QString(100, 'x')) / 100));
    QVERIFY2(columns > 70 && columns < 120, qPrintable(QString::number(columns)));
    const QString word = QString(columns * 2 + 5, 'w');
    struct TCase {
      const char* name;
      QString text;
      QStringList lines;
    };
    const QString words = QString("alpha ").repeated(columns / 6 + 3).trimmed();
    const TCase cases[] = {
        {"short lines stay", "one\ntwo", {"one", "two"}},
        {"line ends of every kind", "a\r\nb\rc\n\nd", {"a", "b", "c", "", "d"}},
        {"tabs stop every eight", "a\tb\t\tc", {"a       b               c"}},
        {"a word wider than the page is cut", word,
         {word.left(columns), word.mid(columns, columns), word.mid(2 * columns)}},
    };
    for (const TCase& c : cases) QCOMPARE(frame.WrapText(c.text), c.lines);
    // Words wrap whole: every line but the last is full up to a word's end.
    QStringList wrapped = frame.WrapText(words);
    QVERIFY(wrapped.size() >= 2);
    QCOMPARE(wrapped.join("").simplified(), words);
    for (const QString& line : wrapped) {
      QVERIFY2(line.size() <= columns + 1, qPrintable(line));
      QVERIFY2(line.trimmed().split(' ').filter(QRegularExpression("^alpha$")).size() ==
                   line.trimmed().split(' ').size(),
               qPrintable(line));
    }
  }

  void PlainPdfIsTextInEveryScript() {
    TTempDir dir;
    TParsed m(PlainMessage(std::string("Subject ") + scripts,
                           std::string("Body words ") + scripts + "\nsecond line\n"));
    TMessagePdfRenderer renderer;
    const std::string path = Keep(dir, "plain.pdf", renderer.Render(m.message));
    const QString text = PdfText(path);
    // The header block in its order, then the body; no line numbers.
    QRegularExpression order(QString::fromUtf8(
        "Subject Latin Привет Καλημέρα 日本語のテキスト[\\s\\S]*From:\\s+Doe, John <john@example.com>"
        "[\\s\\S]*To:\\s+Bob <bob@example.org>, carol@example.org[\\s\\S]*Date:\\s+Tuesday, March 14, 2023"
        "[\\s\\S]*\\nBody words Latin Привет Καλημέρα 日本語のテキスト\\s*\\nsecond line"));
    QVERIFY2(order.match(text).hasMatch(), qPrintable(text));
    QVERIFY2(!text.contains(QRegularExpression("\\n\\s*1\\s+Body")), qPrintable(text));
    QVERIFY2(text.contains("Page 1 of 1"), qPrintable(text));
    // Every font is in the file.
    const QStringList fonts = QString::fromStdString(RunCommand("pdffonts " + ShellQuote(path)).out)
                                  .split('\n', Qt::SkipEmptyParts)
                                  .mid(2);
    QVERIFY(fonts.size() >= 2);
    for (const QString& font : fonts) {
      const QStringList columns = font.split(' ', Qt::SkipEmptyParts);
      QVERIFY2(columns.size() >= 5 && columns[columns.size() - 5] == "yes", qPrintable(font));
    }
  }

  // A header block stays on its page: a list of recipients too long for it is cut short.
  void HeaderBlockOfManyRecipients() {
    TTempDir dir;
    std::string to;
    for (int i = 0; i < 400; ++i) to += (i ? ", " : "") + ("reader" + std::to_string(i) + "@example.org");
    std::string text = PlainMessage("Many readers", "Body words\n");
    text.replace(text.find("To: "), std::string("To: Bob <bob@example.org>, carol@example.org").size(),
                 "To: " + to);
    TParsed m(text);
    TMessagePdfRenderer renderer;
    TPdfOptions landscape;
    landscape.Layout = MessagePageLayout(QPageSize(QPageSize::A5), QPageLayout::Landscape);
    for (const TPdfOptions& options : {TPdfOptions(), landscape}) {
      const std::string path = Keep(dir, "readers.pdf", renderer.Render(m.message, options));
      const QString text = PdfText(path);
      QVERIFY2(text.contains(QString::fromUtf8("…")) && !text.contains("reader399@"), qPrintable(text));
      QVERIFY2(text.contains("Date:") && text.contains("Body words"), qPrintable(text));
    }
  }

  void LongTextOnManyPages() {
    TTempDir dir;
    std::string body;
    for (int i = 1; i <= 200; ++i) body += "line number " + std::to_string(i) + "\n";
    TParsed m(PlainMessage("Many lines", body));
    TMessagePdfRenderer renderer;
    const std::string path = Keep(dir, "long.pdf", renderer.Render(m.message));
    const int pages = PdfPages(path);
    QVERIFY2(pages >= 3 && pages <= 6, qPrintable(QString::number(pages)));
    const QString text = PdfText(path);
    for (int p = 1; p <= pages; ++p)
      QVERIFY2(text.contains(QRegularExpression(QString("Many lines\\s+Page %1 of %2").arg(p).arg(pages))),
               qPrintable(text));
    QVERIFY(text.contains("line number 1\n") && text.contains("line number 200"));
  }

  void HtmlPdfIsTextNotPictures() {
    TTempDir dir;
    TParsed m(HtmlMessage(std::string("HTML ") + scripts,
                          std::string("<html><head><style>p { color: #333 }</style></head><body>"
                                      "<p>First paragraph ") + scripts + "</p><p><b>Bold</b> words</p>"
                          "<script>document.write('scripted')</script></body></html>"));
    TMessagePdfRenderer renderer;
    const std::string path = Keep(dir, "html.pdf", renderer.Render(m.message));
    const QString text = PdfText(path);
    QVERIFY2(text.contains(QString::fromUtf8("First paragraph Latin Привет Καλημέρα 日本語のテキスト")), qPrintable(text));
    QVERIFY2(text.contains(QString::fromUtf8("HTML Latin Привет Καλημέρα 日本語のテキスト")), qPrintable(text));
    QVERIFY2(text.contains("Doe, John") && text.contains("Page 1 of 1"), qPrintable(text));
    QVERIFY2(!text.contains("scripted"), qPrintable(text));
    QCOMPARE(Images(path), QStringList());
    // The body starts below the header block.
    QVERIFY(WordTop(path, "First") > WordTop(path, "Date:"));
  }

  // A document that declares its type is laid out in standards mode, as the view does it: there
  // a table's text takes the size of the body's (in quirks mode it would not).
  void HtmlKeepsItsDocumentType() {
    TTempDir dir;
    TParsed m(HtmlMessage("Standards", "<!DOCTYPE html>\n<html><body style=\"font-size: 40px\">"
                                       "<p>Words</p><table><tr><td>Cell</td></tr></table></body></html>"));
    TMessagePdfRenderer renderer;
    const std::string path = Keep(dir, "standards.pdf", renderer.Render(m.message));
    const QString xml = QString::fromStdString(
        RunCommand("pdftotext -bbox -f 1 -l 1 " + ShellQuote(path) + " -").out);
    auto height = [&](const QString& word) {
      QRegularExpressionMatch h = QRegularExpression("yMin=\"([0-9.]+)\"[^>]*yMax=\"([0-9.]+)\">" + word + "<").match(xml);
      return h.hasMatch() ? h.captured(2).toDouble() - h.captured(1).toDouble() : -1;
    };
    QVERIFY2(height("Cell") > 0 && std::abs(height("Cell") - height("Words")) < 1,
             qPrintable(QString("%1 %2").arg(height("Cell")).arg(height("Words"))));
  }

  void WideHtmlKeepsTheHeaderBlockClear() {
    TTempDir dir;
    TParsed m(HtmlMessage("Wide page", "<html><body><p>Opening words</p>"
                                       "<table width=\"1600\"><tr><td>cell</td></tr></table></body></html>"));
    TMessagePdfRenderer renderer;
    const std::string path = Keep(dir, "wide.pdf", renderer.Render(m.message));
    const double date = WordTop(path, "Date:");
    const double opening = WordTop(path, "Opening");
    QVERIFY2(date > 0 && opening > date + 12, qPrintable(QString("%1 %2").arg(date).arg(opening)));
  }

  // Remote pictures come as the view has them: only where "Download images" allows them.
  void RemoteImagesOnlyWhenAllowed() {
    TTempDir dir;
    TImageServer server;
    TParsed m(HtmlMessage("Remote picture", "<html><body><p>Picture:</p><img src=\"" + server.Url() +
                                                "\" width=\"40\" height=\"40\"></body></html>"));
    TMessagePdfRenderer renderer;
    TPdfOptions options;
    const std::string blocked = Keep(dir, "blocked.pdf", renderer.Render(m.message, options));
    QCOMPARE(server.requests, 0);
    options.RemoteImages = true;
    const std::string loaded = Keep(dir, "loaded.pdf", renderer.Render(m.message, options));
    QVERIFY(server.requests >= 1);
    QVERIFY2(Images(loaded).contains("40x40"), qPrintable(Images(loaded).join(' ')));
    QVERIFY2(!Images(blocked).contains("40x40"), qPrintable(Images(blocked).join(' ')));
  }

  void TenKilobytesOfTextStaySmall() {
    const std::string text = TenKilobytesOfText();
    std::string html = "<html><body>";
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find('\n', at);
      html += "<p>" + text.substr(at, end - at) + "</p>";
      at = end + 1;
    }
    html += "</body></html>";
    TMessagePdfRenderer renderer;
    for (const std::string& message : {PlainMessage("Ten kilobytes", text), HtmlMessage("Ten kilobytes", html)}) {
      TParsed m(message);
      const std::string pdf = renderer.Render(m.message);
      QVERIFY2(pdf.size() < 100000, qPrintable(QString::number(pdf.size())));
    }
  }

  void BookOfMessagesWithBookmarks() {
    TTempDir dir;
    std::string long_body;
    for (int i = 0; i < 120; ++i) long_body += "filler line\n";
    const std::string messages[] = {
        PlainMessage("First note", "one\n"),
        HtmlMessage(QString::fromUtf8("Вторая заметка").toStdString(), "<p>two</p>"),
        PlainMessage("Third note", long_body),
    };
    TMessagePdfRenderer renderer;
    TPdfBook book;
    std::vector<int> pages;
    for (const std::string& text : messages) {
      TParsed m(text);
      const std::string pdf = renderer.Render(m.message);
      pages.push_back(PdfPageCount(pdf));
      book.Add(pdf, MessageBookmark(m.message));
    }
    const std::string path = dir / "book.pdf";
    book.Save(path, "Three notes");
    QCOMPARE(PdfPages(path), pages[0] + pages[1] + pages[2]);
    QCOMPARE(book.Documents(), 3);
    // Each message starts a page of its own, and has its bookmark there.
    const char* const subjects[] = {"First note", "Вторая заметка", "Third note"};
    const QStringList outline = Outline(path);
    QCOMPARE(outline.size(), 3);
    int first = 1;
    for (int i = 0; i < 3; ++i) {
      const QString page = PdfText(path, ("-layout -f " + std::to_string(first) + " -l " +
                                          std::to_string(first)).c_str());
      QVERIFY2(page.trimmed().startsWith(QString::fromUtf8(subjects[i])), qPrintable(page));
      QVERIFY2(outline[i].startsWith(QString::number(first) + " 2023-03-14 09:14, Doe, John, " +
                                     QString::fromUtf8(subjects[i])),
               qPrintable(outline.join('\n')));
      first += pages[i];
    }
  }
};

int main(int argc, char** argv) {
  SetAnsiCodePage(CodePageUtf8); // every script in one code page
  TMessageHtml::PrepareApplication();
  QGuiApplication app(argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  RenderTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "render_test.moc"
