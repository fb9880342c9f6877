#pragma once

namespace companion {

// Read-only looks into OBS for host tests and benchmarks:
//   "list_dock_combos" {dock}: the items of every combo box inside the dock whose object name
//       is `dock`, in creation order: {combos: [{items: [{text, value}]}]} (value: the item's
//       machine value, Qt::UserRole).
//   "live_allocations": libobs' count of live allocations (bnum_allocs) as {count}.
bool register_probes(void *vendor);

} // namespace companion
