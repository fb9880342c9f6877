#pragma once
// What the system says about one key when asked whether it is still down. A probe that cannot
// get an answer (no display, a broken connection, a lost reply) says unknown, never up.

namespace clackery {

enum class KeyState { up, down, unknown };

} // namespace clackery
