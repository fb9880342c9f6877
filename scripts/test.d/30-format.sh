# Our C++ sources follow .clang-format.
ensure_packages clang-format
git -C "$ROOT" ls-files '*.cpp' '*.h' | (cd "$ROOT" && xargs clang-format --dry-run -Werror)
