// Writes a mailbox file of realistic messages (threads, encoded words, multipart bodies, base64
// attachments) of at least the asked size, for the store benchmarks. Deterministic: with
// --classic the same mail comes in classic form (an envelope sender on the separator, no
// marker lines). With --small every message is a short plain text (about 2 KB with its
// header), for lists of a million rows.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

uint64_t state = 0x9E3779B97F4A7C15ULL;
uint64_t Next() {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}
int Rand(int n) {
  return static_cast<int>(Next() % static_cast<uint64_t>(n));
}

const char* const Words[] = {"meeting",  "report",  "budget", "draft",   "review",   "release",
                             "schedule", "invoice", "update", "project", "team",     "quarter",
                             "proposal", "notes",   "agenda", "travel",  "contract", "design",
                             "feedback", "results", "plan",   "server",  "backup",   "summary"};
const char* const Names[] = {"Ann Smith", "Bob Jones",    "Carla Novak", "David Brown",
                             "Eva Horak", "Frank Miller", "Gina Rossi",  "Hans Weber"};
const char* const Encoded[] = {"=?UTF-8?B?UMWZw61sacWhIMW+bHXFpW91xI1rw70ga8WvxYg=?=",
                               "=?ISO-8859-2?Q?P=F8=EDli=B9_=BElu=BBou=E8k=FD?=",
                               "=?utf-8?q?Caf=C3=A9_cr=C3=A8me?=", "=?UTF-8?B?SGVsbG8gd29ybGQ=?="};
const char* const Days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string Sentence(int words) {
  std::string s;
  for (int i = 0; i < words; ++i) {
    if (i) s += ' ';
    s += Words[Rand(24)];
  }
  return s;
}

std::string Address(int i) {
  std::string name = Names[i % 8];
  std::string user = name.substr(0, name.find(' '));
  for (auto& c : user)
    c = static_cast<char>(c | 0x20);
  return user + "@example.org";
}

void Base64Lines(std::string& out, size_t bytes, const std::string& eol) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  size_t chars = (bytes + 2) / 3 * 4;
  for (size_t done = 0; done < chars; done += 76) {
    size_t n = std::min<size_t>(76, chars - done);
    for (size_t i = 0; i < n; ++i)
      out += alphabet[Next() & 63];
    out += eol;
  }
}

void Header(std::string& out, const std::string& name, const std::string& value,
            const std::string& eol) {
  out += name + ": " + value + eol;
}

bool smallMessages = false; // --small

std::string Message(int index, const std::string& eol, bool classic) {
  std::string m;
  int day = 1 + Rand(28), month = Rand(12), year = 2005 + Rand(15);
  int hour = Rand(24), minute = Rand(60), second = Rand(60);
  char date[128];
  std::snprintf(date, sizeof date, "%s, %d %s %d %02d:%02d:%02d %s", Days[Rand(7)], day,
                Months[month], year, hour, minute, second,
                Rand(3) == 0 ? "-0500" : (Rand(2) ? "+0100" : "+0000 (UTC)"));
  char separator[96];
  std::snprintf(separator, sizeof separator, "From %s %s %s %2d %02d:%02d:%02d %d",
                classic ? "bounce@example.org" : "-", Days[Rand(7)], Months[month], day, hour,
                minute, second, year);
  m += separator + eol;
  if (!classic) {
    m += "X-Mozilla-Status: 0001" + eol + "X-Mozilla-Status2: 00000000" + eol;
    m += "X-Mozilla-Keys:                                                                          "
         "       " +
         eol;
  }
  int from = Rand(8), to = Rand(8);
  Header(m, "Return-Path", "<" + Address(from) + ">", eol);
  for (int r = 0, hops = 2 + Rand(3); r < hops; ++r)
    m += "Received: from mx" + std::to_string(r) + ".example.org (mx" + std::to_string(r) +
         ".example.org [192.0.2." + std::to_string(r + 1) + "])" + eol +
         "\tby mail.example.net (Postfix) with ESMTPS id 4F" + std::to_string(Next() % 100000) +
         eol + "\tfor <" + Address(to) + ">; " + date + eol;
  Header(m, "Date", date, eol);
  Header(m, "From",
         (Rand(4) == 0 ? std::string(Encoded[Rand(4)]) : std::string(Names[from])) + " <" +
             Address(from) + ">",
         eol);
  Header(m, "To", std::string(Names[to]) + " <" + Address(to) + ">", eol);
  if (Rand(3) == 0)
    Header(m, "Cc", std::string(Names[(to + 1) % 8]) + " <" + Address(to + 1) + ">", eol);
  int thread = index / 40; // long threads of replies
  std::string subject = Rand(5) == 0 ? std::string(Encoded[Rand(4)]) : Sentence(3 + Rand(5));
  Header(m, "Subject", (index % 40 ? "Re: " : "") + subject, eol);
  Header(m, "Message-ID", "<" + std::to_string(index) + ".bench@example.org>", eol);
  if (index % 40) {
    Header(m, "In-Reply-To", "<" + std::to_string(index - 1) + ".bench@example.org>", eol);
    std::string refs;
    for (int r = thread * 40; r < index && r < thread * 40 + 20; ++r)
      refs += (refs.empty() ? "" : eol + " ") + std::string("<") + std::to_string(r) +
              ".bench@example.org>";
    Header(m, "References", refs, eol);
  }
  Header(m, "MIME-Version", "1.0", eol);
  Header(m, "User-Agent", "Mozilla/5.0 (X11; Linux x86_64; rv:102.0) Gecko/20100101", eol);
  if (Rand(6) == 0) Header(m, "X-Priority", Rand(2) ? "1 (Highest)" : "5", eol);
  int kind = smallMessages ? 0 : Rand(20); // 11 in 20 plain text, 6 alternative, 3 with attachments
  auto text = [&](int lines) {
    std::string body;
    for (int i = 0; i < lines; ++i) {
      std::string line = Sentence(8 + Rand(6));
      if (Rand(50) == 0) line = ">From the minutes: " + line; // escaped separator-like line
      if (Rand(10) == 0) line = "> " + line;
      body += line + eol;
    }
    return body;
  };
  if (kind < 11) {
    Header(m, "Content-Type", "text/plain; charset=UTF-8; format=flowed", eol);
    Header(m, "Content-Transfer-Encoding", "8bit", eol);
    m += eol + text(smallMessages ? 3 + Rand(6) : 15 + Rand(60));
  } else if (kind < 17) {
    std::string b = "------------alt" + std::to_string(index);
    Header(m, "Content-Type", "multipart/alternative;" + eol + " boundary=\"" + b + "\"", eol);
    m += eol + "This is a multi-part message in MIME format." + eol;
    m += "--" + b + eol + "Content-Type: text/plain; charset=UTF-8" + eol +
         "Content-Transfer-Encoding: quoted-printable" + eol + eol + text(20 + Rand(60));
    m += "--" + b + eol + "Content-Type: text/html; charset=UTF-8" + eol +
         "Content-Transfer-Encoding: 7bit" + eol + eol + "<html><body>" + eol;
    for (int i = 0, n = 20 + Rand(80); i < n; ++i)
      m += "<p style=\"margin:0\">" + Sentence(10) + "</p>" + eol;
    m += "</body></html>" + eol + eol + "--" + b + "--" + eol;
  } else {
    std::string b = "------------mix" + std::to_string(index);
    Header(m, "Content-Type", "multipart/mixed;" + eol + " boundary=\"" + b + "\"", eol);
    m += eol + "This is a multi-part message in MIME format." + eol;
    m += "--" + b + eol + "Content-Type: text/plain; charset=UTF-8" + eol +
         "Content-Transfer-Encoding: 7bit" + eol + eol + text(10 + Rand(30));
    for (int a = 0, n = 1 + (Rand(4) == 0); a < n; ++a) {
      m += "--" + b + eol + "Content-Type: application/pdf;" + eol + " name=\"" + Words[Rand(24)] +
           ".pdf\"" + eol + "Content-Transfer-Encoding: base64" + eol +
           "Content-Disposition: attachment;" + eol + " filename=\"" + Words[Rand(24)] + ".pdf\"" +
           eol + eol;
      Base64Lines(m, 5000 + static_cast<size_t>(Rand(115000)), eol);
    }
    m += eol + "--" + b + "--" + eol;
  }
  m += eol;
  return m;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTPUT MEGABYTES [--crlf] [--classic] [--small]\n", argv[0]);
    return 2;
  }
  std::string eol = "\n";
  bool classic = false;
  for (int i = 3; i < argc; ++i) {
    if (std::string(argv[i]) == "--crlf") eol = "\r\n";
    if (std::string(argv[i]) == "--classic") classic = true;
    if (std::string(argv[i]) == "--small") smallMessages = true;
  }
  uint64_t target = std::strtoull(argv[2], nullptr, 10) << 20;
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 1;
  uint64_t written = 0;
  int index = 0;
  while (written < target) {
    std::string m = Message(index++, eol, classic);
    std::fwrite(m.data(), 1, m.size(), out);
    written += m.size();
  }
  std::fclose(out);
  std::printf("%d messages, %llu bytes\n", index, static_cast<unsigned long long>(written));
  return 0;
}
