#include "analysis/document_file.h"

#include <atomic>

namespace pelmora::analysis {

namespace {

std::atomic<DocumentOpener> g_opener{&OpenPlatformDocument};

}  // namespace

std::unique_ptr<DocumentReader> OpenDocument(const DocumentPath& path) { return g_opener.load()(path); }

DocumentOpener SetDocumentOpener(DocumentOpener opener) {
  return g_opener.exchange(opener != nullptr ? opener : &OpenPlatformDocument);
}

}  // namespace pelmora::analysis
