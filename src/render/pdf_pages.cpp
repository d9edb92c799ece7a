#include "render/pdf_pages.h"

#include "platform/pellora_error.h"
#include "platform/safe_files.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <array>
#include <cmath>


namespace pellora {
namespace {

// Reads pdf; the bytes are copied into the document's objects when they are taken over, so the
// text may go after that.
std::shared_ptr<QPDF> ReadPdf(const std::string& pdf) {
  auto doc = std::make_shared<QPDF>();
  doc->setSuppressWarnings(true);
  try {
    doc->processMemoryFile("message.pdf", pdf.data(), pdf.size());
  } catch (const std::exception& e) {
    throw EPelloraError(std::string("Cannot read PDF: ") + e.what());
  }
  doc->setImmediateCopyFrom(true);
  return doc;
}

void SetTitle(QPDF& doc, const std::string& title) {
  QPDFObjectHandle trailer = doc.getTrailer();
  QPDFObjectHandle info = trailer.getKey("/Info");
  if (!info.isDictionary()) {
    info = doc.makeIndirectObject(QPDFObjectHandle::newDictionary());
    trailer.replaceKey("/Info", info);
  }
  info.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(title));
  info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString("Pellora"));
}

class TSinkPipeline : public Pipeline {
public:
  explicit TSinkPipeline(const std::function<void(std::string_view)>& sink)
      : Pipeline("sink", nullptr), FSink(sink) {}
  void write(unsigned char const* data, size_t len) override {
    FSink(std::string_view(reinterpret_cast<const char*>(data), len));
  }
  void finish() override {}

private:
  const std::function<void(std::string_view)>& FSink;
};

void WritePdf(QPDF& doc, const std::function<void(std::string_view)>& sink) {
  QPDFWriter writer(doc);
  TSinkPipeline pipeline(sink);
  writer.setOutputPipeline(&pipeline);
  writer.setObjectStreamMode(qpdf_o_generate); // smaller: the many small objects packed
  writer.write();
}

std::string WritePdf(QPDF& doc) {
  std::string out;
  WritePdf(doc, [&](std::string_view bytes) { out += bytes; });
  return out;
}

template <class F> auto Guard(F&& f) {
  try {
    return f();
  } catch (const EPelloraError&) {
    throw;
  } catch (const std::exception& e) {
    throw EPelloraError(std::string("Cannot make PDF: ") + e.what());
  }
}

} // namespace

int PdfPageCount(const std::string& pdf) {
  return Guard([&] {
    auto doc = ReadPdf(pdf);
    return static_cast<int>(doc->getAllPages().size());
  });
}

namespace {

// Follows the transformation matrix through a content stream up to its first text object.
class TFirstTextScale : public QPDFObjectHandle::ParserCallbacks {
public:
  double Scale = 1;

  void handleObject(QPDFObjectHandle object) override {
    if (FDone) return;
    if (!object.isOperator()) {
      if (object.isNumber()) FOperands.push_back(object.getNumericValue());
      return;
    }
    const std::string op = object.getOperatorValue();
    if (op == "q") {
      FStack.push_back(FMatrix);
    } else if (op == "Q" && !FStack.empty()) {
      FMatrix = FStack.back();
      FStack.pop_back();
    } else if (op == "cm" && FOperands.size() == 6) {
      const double* m = &FOperands[0];
      const TMatrix& c = FMatrix;
      FMatrix = {m[0] * c[0] + m[1] * c[2], m[0] * c[1] + m[1] * c[3],
                 m[2] * c[0] + m[3] * c[2], m[2] * c[1] + m[3] * c[3]};
    } else if (op == "BT") {
      Scale = std::sqrt(std::abs(FMatrix[0] * FMatrix[3] - FMatrix[1] * FMatrix[2]));
      FDone = true;
    }
    FOperands.clear();
  }
  void handleEOF() override {}

private:
  using TMatrix = std::array<double, 4>; // the linear part; moves do not scale
  TMatrix FMatrix{1, 0, 0, 1};
  std::vector<TMatrix> FStack;
  std::vector<double> FOperands;
  bool FDone = false;
};

} // namespace

double PdfFirstTextScale(const std::string& pdf) {
  return Guard([&] {
    auto doc = ReadPdf(pdf);
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(*doc).getAllPages();
    if (pages.empty()) return 1.0;
    TFirstTextScale scale;
    pages[0].parseContents(&scale);
    return scale.Scale;
  });
}

std::string PdfWithPages(const std::string& pdf, const std::vector<int>& pages) {
  return Guard([&] {
    auto doc = ReadPdf(pdf);
    QPDFPageDocumentHelper helper(*doc);
    std::vector<QPDFPageObjectHelper> all = helper.getAllPages();
    size_t next = 0;
    for (size_t i = 0; i < all.size(); ++i) {
      if (next < pages.size() && pages[next] == static_cast<int>(i) + 1)
        ++next;
      else
        helper.removePage(all[i]);
    }
    return WritePdf(*doc);
  });
}

std::string OverlayPdf(const std::string& under, const std::string& over, const std::string& title) {
  return Guard([&] {
    auto base = ReadPdf(under);
    auto top = ReadPdf(over);
    std::vector<QPDFPageObjectHelper> basePages = QPDFPageDocumentHelper(*base).getAllPages();
    std::vector<QPDFPageObjectHelper> topPages = QPDFPageDocumentHelper(*top).getAllPages();
    for (size_t i = 0; i < basePages.size() && i < topPages.size(); ++i) {
      QPDFPageObjectHelper& page = basePages[i];
      QPDFObjectHandle form = base->copyForeignObject(topPages[i].getFormXObjectForPage());
      QPDFObjectHandle resources = page.getAttribute("/Resources", true);
      if (!resources.isDictionary()) {
        resources = QPDFObjectHandle::newDictionary();
        page.getObjectHandle().replaceKey("/Resources", resources);
      }
      QPDFObjectHandle xobjects = resources.getKey("/XObject");
      if (!xobjects.isDictionary()) {
        xobjects = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/XObject", xobjects);
      }
      int suffix = 0;
      const std::string name = resources.getUniqueResourceName("/Frame", suffix);
      xobjects.replaceKey(name, form);
      const std::string place =
          page.placeFormXObject(form, name, page.getMediaBox().getArrayAsRectangle(), false);
      // The page's own drawing keeps its graphics state to itself.
      page.addPageContents(QPDFObjectHandle::newStream(base.get(), "q\n"), true);
      page.addPageContents(QPDFObjectHandle::newStream(base.get(), "\nQ\n" + place), false);
    }
    SetTitle(*base, title);
    return WritePdf(*base);
  });
}

struct TPdfBook::TData {
  QPDF Doc;
  QPDFObjectHandle Outlines;
  QPDFObjectHandle LastItem;
  int Pages = 0;
  int Documents = 0;
};

TPdfBook::TPdfBook() : FData(std::make_unique<TData>()) {
  Guard([&] {
    FData->Doc.emptyPDF();
    FData->Outlines = FData->Doc.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines /Count 0 >>"));
    return 0;
  });
}

TPdfBook::~TPdfBook() = default;

void TPdfBook::Add(const std::string& pdf, const std::string& title) {
  Guard([&] {
    auto source = ReadPdf(pdf);
    QPDFPageDocumentHelper pages(FData->Doc);
    QPDFObjectHandle first;
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*source).getAllPages()) {
      pages.addPage(page, false);
      if (!first.isInitialized()) first = FData->Doc.getAllPages().back();
      ++FData->Pages;
    }
    if (!first.isInitialized()) return 0;
    QPDFObjectHandle item = FData->Doc.makeIndirectObject(QPDFObjectHandle::newDictionary());
    item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString(title));
    item.replaceKey("/Parent", FData->Outlines);
    QPDFObjectHandle dest = QPDFObjectHandle::newArray();
    dest.appendItem(first);
    dest.appendItem(QPDFObjectHandle::newName("/Fit"));
    item.replaceKey("/Dest", dest);
    if (!FData->LastItem.isInitialized()) {
      FData->Outlines.replaceKey("/First", item);
    } else {
      FData->LastItem.replaceKey("/Next", item);
      item.replaceKey("/Prev", FData->LastItem);
    }
    FData->Outlines.replaceKey("/Last", item);
    FData->LastItem = item;
    ++FData->Documents;
    FData->Outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(FData->Documents));
    return 0;
  });
}

int TPdfBook::Pages() const { return FData->Pages; }
int TPdfBook::Documents() const { return FData->Documents; }

void TPdfBook::Write(const std::function<void(std::string_view)>& sink, const std::string& title) {
  Guard([&] {
    QPDFObjectHandle root = FData->Doc.getRoot();
    if (FData->Documents > 0) {
      root.replaceKey("/Outlines", FData->Outlines);
      root.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));
    }
    SetTitle(FData->Doc, title);
    WritePdf(FData->Doc, sink);
    return 0;
  });
}

void TPdfBook::Save(const std::string& path, const std::string& title) {
  TSafeFileWriter writer(path);
  Write([&](std::string_view bytes) { writer.Write(bytes); }, title);
  writer.Commit(true);
}

} // namespace pellora
