#pragma once
// What --collect reports: the text summary for people, one JSON record for programs.
#include <string>

#include "delivery/image_collect.h"

namespace pelmora::cli {

std::string FormatCollectSummary(const delivery::CollectSummary& summary);
std::string FormatCollectJson(const delivery::CollectSummary& summary);

}  // namespace pelmora::cli
