#include "tools/kovscan/report.h"

#include <cctype>
#include <cstdio>
#include <ostream>

#include "tools/kovscan/compressions.h"
#include "tools/kovscan/library_text.h"
#include "tools/kovscan/page_files.h"
#include "tools/kovscan/whole_file.h"

namespace kovscan {

namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A text the library handed over: its control characters and stray bytes escaped, so the page
// holds only characters HTML allows.
std::string ShownEscaped(const std::string& bytes) {
  return Escaped(Shown(bytes));
}

// Level 1 is an ordinary page; above it, a sheet that starts a document.
std::string LevelText(int level) {
  return level <= 1 ? "page" : "separator, level " + std::to_string(level);
}

void WritePage(std::ostream& html, const BatchPage& page) {
  const KOV_PAGEHEADER& header = page.header;
  html << "<figure class=\""
       << (page.separator ? "sep"
           : page.blank   ? "blank"
                          : "page")
       << (page.dropped ? " dropped" : "") << "\">";
  const int turned = UprightTurn(page.turn);
  if (!page.thumbnail.empty()) {
    html << "<img loading=\"lazy\" alt=\"page " << page.number << "\" src=\""
         << Escaped(page.thumbnail) << "\">";
    // As the documents show it; a sideways page shrunk to stay within the column.
    if (turned != 0) {
      html << "<img loading=\"lazy\" alt=\"page " << page.number
           << " upright\" class=\"turned\" style=\"transform:rotate(" << turned << "deg)"
           << (turned == 180 ? "" : " scale(.77)") << "\" src=\"" << Escaped(page.thumbnail)
           << "\">";
    }
  }
  html << "<figcaption><b>" << page.number << "</b> " << Escaped(page.file) << "<br>"
       << LevelText(header.ucLevel) << ", " << (header.ucSide == 0 ? "front" : "back") << ", "
       << CompressionName(header.usCompression);
  if (page.blank) html << ", blank";
  if (turned != 0) {
    char found[64];
    std::snprintf(found, sizeof found, "<br>turned %d°, confidence %.1f", turned,
                  page.turn->confidence);
    html << found;
  }
  if (page.skew && page.skew->straightened) {
    char found[64];
    std::snprintf(found, sizeof found, "<br>straightened by %.2f°", page.skew->degrees);
    html << found;
  }
  if (page.dropped) html << ", dropped";
  for (const std::string& text : BarcodesOf(header))
    html << "<br><code>" << ShownEscaped(text) << "</code>";
  html << "</figcaption></figure>\n";
}

// A batch that ended early says so before anything else.
void WriteEnd(std::ostream& html, const BatchEnd& end) {
  const std::string state = StateName(end.state);
  html << "<p class=\"end " << state << "\"><b>" << static_cast<char>(std::toupper(state[0]))
       << state.substr(1) << "</b>: " << Escaped(end.reason) << " (exit code " << end.exitCode
       << ")</p>\n";
}

void WriteHtml(std::ostream& html, const Batch& batch) {
  html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>kovscan batch</title>\n"
          "<style>body{font:14px sans-serif;margin:1em}section{border-top:1px solid #999;"
          "margin-top:1em}figure{display:inline-block;vertical-align:top;width:170px;"
          "margin:.5em}img{border:1px solid #ccc;width:160px}.sep img{border:3px solid #c60}"
          ".turned{margin-top:.5em}.blank img{opacity:.5}.dropped{opacity:.4}.stopped,.failed{background:#fdd;"
          "padding:.5em}</style></head><body>\n";
  WriteEnd(html, batch.end);
  html << "<h1>" << batch.pages.size() << " pages, " << batch.documents.size()
       << " documents</h1><p>" << ShownEscaped(batch.scanner) << "</p>\n";
  if (batch.ocr) {
    html << "<p>Text read by OCR (" << Escaped(batch.ocr->language) << ") on " << batch.ocr->read
         << " pages";
    if (batch.ocr->failed + batch.ocr->abandoned > 0) {
      html << "; " << batch.ocr->failed + batch.ocr->abandoned << " pages have no text";
    }
    html << "</p>\n";
  }
  for (const Document& document : batch.documents) {
    html << "<section><h2>Document " << document.number << " — " << Escaped(document.name);
    if (document.barcode) {
      html << " <small>(barcode " << ShownEscaped(*document.barcode) << ")</small>";
    }
    html << "</h2><p>";
    for (const std::string* file : {&document.pdf, &document.file}) {
      if (!file->empty())
        html << "<a href=\"" << Escaped(*file) << "\">" << Escaped(*file) << "</a> ";
    }
    html << "</p>\n";
    // Page numbers count from 1 in scan order.
    for (const int number : document.pages)
      WritePage(html, batch.pages.at(static_cast<std::size_t>(number) - 1));
    html << "</section>\n";
  }
  bool outside = false;
  for (const BatchPage& page : batch.pages) outside = outside || page.document == 0;
  if (outside) {
    html << "<section><h2>Not in a document</h2>\n";
    for (const BatchPage& page : batch.pages) {
      if (page.document == 0) WritePage(html, page);
    }
    html << "</section>\n";
  }
  html << "</body></html>\n";
}

}  // namespace

void WriteReport(const Batch& batch, const std::filesystem::path& path, WrittenFiles* written) {
  WriteWholeText(
      path, [&batch](std::ostream& html) { WriteHtml(html, batch); }, written);
}

}  // namespace kovscan
