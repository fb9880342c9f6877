#pragma once

namespace companion {

// Read-only looks into OBS for host tests and benchmarks:
//   "list_dock_combos" {dock}: the items of every combo box inside the dock whose object name
//       is `dock`, in creation order: {combos: [{items: [{text, value}]}]} (value: the item's
//       machine value, Qt::UserRole).
//   "live_allocations": libobs' count of live allocations (bnum_allocs) as {count}.
//   "module_info" {module}: {loaded, name, description, author} of a loaded module by its file
//       name, with {id, version} from its manifest on OBS 32 and later.
//   "plugin_manager" {open, close}: {action, open, texts: [{text}]}: the texts of the
//       frontend's plug-in manager list when it is open; with `open` a closed one is opened
//       (ask again for its texts), with `close` it is closed after reading.
bool register_probes(void *vendor);

} // namespace companion
