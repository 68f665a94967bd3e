#pragma once
// What --collect reports: the text summary for people, one JSON record for programs.
#include <string>
#include <vector>

#include "delivery/image_collect.h"
#include "preflight/image_header.h"

namespace pelmora::cli {

// The header of each file in `summary.collected`, in its order, read from the delivery (from
// anywhere with `anywhere`, as the copies were).
std::vector<preflight::ImageHeader> ReadCollected(const delivery::CollectSummary& summary,
                                                  const delivery::Delivery& delivery, bool anywhere);

// `images`: ReadCollected's answer, or nothing to leave the files' facts out.
std::string FormatCollectSummary(const delivery::CollectSummary& summary,
                                 const std::vector<preflight::ImageHeader>& images = {});
std::string FormatCollectJson(const delivery::CollectSummary& summary,
                              const std::vector<preflight::ImageHeader>& images = {});

}  // namespace pelmora::cli
