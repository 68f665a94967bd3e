#pragma once
// pelmora-scan --html: one self-contained page an operator can look at, print on A4, read on a
// phone and send back to the customer. Nothing in it loads or runs anything: no script, no
// external resource, a Content-Security-Policy that allows neither, and every value from a
// document escaped, so that no name can add markup.
#include <cstddef>
#include <optional>
#include <string>

#include "cli/scan_report.h"
#include "preflight/preview.h"

namespace pelmora::cli {

class HtmlReport {
 public:
  // The page's head and the start of its body; `title` names the delivery.
  std::string Begin(const std::string& title) const;
  // One document's section: its picture, kind and version, artboards, fonts, colours, links,
  // images and findings, each finding with what to do about it.
  std::string Document(const DocumentRow& row, const std::optional<preflight::Thumbnail>& thumbnail);
  // A document that could not be read.
  std::string Failure(const std::string& path, const std::string& message);
  // The summary (shown above the documents, though written last: the page is written as the
  // documents come) and the end of the page.
  std::string End() const;

 private:
  std::size_t documents_ = 0, withFindings_ = 0, missingLinks_ = 0, failed_ = 0;
};

// Text as HTML: the five characters that mean markup escaped, terminal controls made visible.
std::string HtmlText(std::string_view utf8);

}  // namespace pelmora::cli
