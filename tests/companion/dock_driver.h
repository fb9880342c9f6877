#pragma once

namespace companion {

// Requests that act in the frontend as a user would, for host tests:
//   "click_dock_button" {dock, text}: clicks the button with that text inside the dock whose
//       object name is `dock`; replies "found", the dock's "title" and the texts of its
//       "labels" ([{text}], after the click).
//   "group_scene_items" {scene, group, items: [{name}]}: moves the named items of a scene into a
//       new group; replies "grouped".
bool register_dock_driver(void *vendor);

} // namespace companion
