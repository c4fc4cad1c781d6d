// The drawing of the system as the report page's data gives it: the
// geometry in mm (surfaces' profiles, source points, sample rays), which the
// page's script draws.
#pragma once

#include <nlohmann/json.hpp>

#include "report/system_view.h"

namespace varnock {

// {"zmin", "zmax", "ymin", "ymax", "sets", "surfaces": [{"number", "type",
// "mirror", "stop", "lines": [[[z, y], ...], ...]}], "sources": [[z, y]],
// "rays": [{"set", "lost", "pieces": [[[z, y], ...]]}]}; points that are not
// numbers are left out of their line.
nlohmann::ordered_json layout_json(const SystemLayout& layout);

}  // namespace varnock
